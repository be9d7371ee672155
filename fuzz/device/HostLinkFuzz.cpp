// Any bytes as the payload of a device program's host-link message: the
// readers must end without fault, and a process list that reads must come
// back unchanged through the writer.
#include "platform/ce/HostLink.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace ce::link;
    std::span<const std::uint8_t> payload(data, size);
    LinkReader r(payload);
    std::vector<LinkProcess> processes;
    if (ReadProcesses(r, &processes) && r.Done()) {
        LinkWriter w;
        WriteProcesses(w, processes);
        LinkReader back(w.bytes());
        std::vector<LinkProcess> again;
        if (!ReadProcesses(back, &again) || !back.Done() || again.size() != processes.size())
            std::abort();
        for (std::size_t i = 0; i < again.size(); ++i)
            if (again[i].id != processes[i].id || again[i].parentId != processes[i].parentId
                || again[i].name != processes[i].name)
                std::abort();
    }
    LinkReader strings(payload);
    std::u16string a, b;
    strings.Str(a);
    strings.Str(b);
    return 0;
}
