#pragma once

// Host facts for the run's metadata and the disk usage written at crash time.
//
// Crash-time contract for QXHostWriteDiskUsage: async-signal-safe (statfs and the record
// writer), no heap, no lock, no stdio. The rest runs during initialisation.

#include <cstdint>
#include <optional>
#include <string>

#include "sdk/crash/context/QXFile.h"

namespace wv {

// sysconf's page size; 4096 with a warning when it cannot be read.
uint64_t QXHostGetPageSize();
// Stores the page size and the folder whose file system `storage` describes (the home folder)
// in the read-only context.
void QXHostInitialize();
bool QXHostWriteMetadata(QXFile* file);
// The `storage` section, empty when the file system cannot be queried.
void QXHostWriteDiskUsage(QXFile* file);
// A code of its own for the running OS's minor version, apart from the core's table.
uint32_t QXHostOSVersionCode();
uint32_t QXHostOSVersionCodeForMinor(int64_t minor);

// The processor's name from /proc/cpuinfo, "(failed)" when there is none; at most 127 bytes.
std::string QXHostCPUBrand(const std::string& cpuinfoPath = "/proc/cpuinfo");
// uname's machine, "(failed)" when uname fails.
std::string QXHostMachine();

}  // namespace wv
