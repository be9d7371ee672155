// wceload: the device's CAB installer (see MANIFEST.md).
#include "device/wceload/Installer.h"
#include "platform/ce/Ce.h"

int main()
{
    return wceload::RunWceload(ce::GetCommandLine());
}
