// Keeping the agent files on the device current: which device platform is
// connected, which agent build suits it, copying agent and stopper into the
// agent folder "\Quorvane" whenever the desktop holds a newer copy, and the
// test start that decides whether the device tools can be offered.
//
// The desktop keeps each device program beside itself under ".dll"
// (GetProgramDir() + "/Quorvane2003.dll") and copies it to the device under
// its ".exe" name ("\Quorvane\Quorvane2003.exe").
//
// Messages go through the prompt interface. Same threads as DeviceLink.h.
#pragma once

#include "desktop/link/AgentContractText.h"

#include <QString>

namespace devlink {

enum DevicePlatform { kPocketPC = 0, kWindowsCE = 1, kSmartphone = 2 };

inline const QString kStopperExeName = QLatin1Char('\\') + ContractText(contract::kStopperExe);

// Reads ActiveSync's desktop values "DeviceOemInfo" and "DeviceType" (HKCU
// "Software\Microsoft\Windows CE Services"). *typeName receives "WindowsCE",
// "Smartphone" or "PocketPC" and *platform the matching DevicePlatform
// (either may be null). True for Windows CE or Smartphone, false for Pocket
// PC (also when nothing is known).
bool DetectDevicePlatform(QString* typeName, int* platform);

// The agent's file name with its leading backslash ("\Quorvane2003.exe"):
// engine version 3 picks the engine-3.0 build, anything else engine 2.0;
// the platform comes from DetectDevicePlatform.
QString AgentExeName(int engineVersion);

bool IsSmartphoneDevice();
bool IsWindowsCEDevice();
bool IsNonPocketPCDevice();

// The desktop copy of a device program: GetProgramDir() + "/" + the file
// name with its ".exe" replaced by ".dll" ("\Haltquill.exe" ->
// ".../Haltquill.dll").
QString DesktopCopyPath(const QString& fileName);

// Copies `fileName` ("\Quorvane2003.exe") from the desktop to "\Quorvane"
// when the desktop copy is later (whole seconds) or the device copy is
// missing. True when the device copy is current afterwards or already was;
// false after telling the user (copy failed, or neither copy exists).
// The device copy is written under a temporary name and moved into place,
// so a failed copy never leaves half a program behind.
bool CopyAgentIfNewer(const QString& fileName);

// The engine-2.0 agent, then the engine-3.0 agent, then the stopper; each
// only when the one before succeeded. The result of the last step run.
bool DeployAgentFiles();

// Whether the device tools may be offered: false below Windows CE 4, true
// from 5 on, and on 4.x true when the agent starts with "-test"; when it
// does not, the agent folder is removed (the next connection copies anew).
bool TestRunAgent();

} // namespace devlink
