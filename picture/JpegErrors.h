#pragma once

#include <csetjmp>
#include <cstdio>

#include <jpeglib.h>

namespace korvel {

// libjpeg's error handling for a decompression that must not end the
// process: an error jumps back to the setjmp(jump) of the caller, and
// warnings are dropped.
struct JpegErrors
{
    jpeg_error_mgr manager;
    std::jmp_buf jump;

    // Fails the decompression that `info` belongs to.
    [[noreturn]] static void fail(j_common_ptr info)
    {
        std::longjmp(reinterpret_cast<JpegErrors *>(info->err)->jump, 1);
    }
    static void ignore(j_common_ptr, int) {}

    // Makes these the error handlers of `info`.
    void install(jpeg_decompress_struct &info)
    {
        info.err = jpeg_std_error(&manager);
        manager.error_exit = fail;
        manager.emit_message = ignore;
    }
};

} // namespace korvel
