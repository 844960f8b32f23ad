#pragma once

namespace korvel {

// The most address space the tool may take. Its picture work needs a few
// hundred megabytes; the rest is the toolkit, the X and D-Bus connections,
// fonts and each thread's stack and allocation arena.
constexpr unsigned long long MaxAddressSpace = 2048ULL * 1024 * 1024;

// Caps the process's address space at MaxAddressSpace, so that whatever a
// planted picture makes a decoder ask for ends in a failed allocation, never
// in a session out of memory. Builds with AddressSanitizer, which reserves
// terabytes of address space for its own book-keeping, are left unlimited.
void limitAddressSpace();

} // namespace korvel
