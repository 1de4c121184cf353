#pragma once

#include <string>

#include "platform/FileDescriptor.h"

// The calls behind StationLock that differ between systems.
namespace torven::platform::native {

enum class LockResult { Locked, HeldByAnother, Failed };

// Locks the open file exclusively without waiting. The lock belongs to this opening of the
// file: a second opening conflicts even within the same process, and it is let go when the
// file is closed or the process ends in any way.
LockResult lockExclusively(const FileDescriptor& file);

long currentProcessId();

// The system's text for why the last call failed.
std::string lastErrorText();

}  // namespace torven::platform::native
