// <windows.h> renames many calls to their A/W forms with macros; Sys and Ui use the
// plain names for their methods. Include this after <windows.h> and call the A forms
// explicitly.
#pragma once

#undef OpenEvent
#undef CreateEvent
#undef GetWindowsDirectory
#undef GetSystemDirectory
#undef GetCurrentDirectory
#undef PathFileExists
#undef DeleteFile
#undef CopyFile
#undef GetBinaryType
#undef GetPrivateProfileString
#undef WritePrivateProfileString
#undef PathSearchAndQualify
#undef GetLogicalDriveStrings
#undef GetDriveType
#undef GetDiskFreeSpaceEx
#undef GetVolumeInformation
#undef MessageBox
#undef ReadTimeStampCounter
#undef SetVolumeLabel
