// Compiler annotations shared by every layer.
#pragma once

// Lets GCC and Clang check the arguments of our printf-style functions;
// other compilers get nothing, and lose only the warning.
#if defined(__GNUC__) || defined(__clang__)
#define CORVIN_PRINTF_FORMAT(fmtIndex, firstArg) __attribute__((format(printf, fmtIndex, firstArg)))
#else
#define CORVIN_PRINTF_FORMAT(fmtIndex, firstArg)
#endif
