// Reading the driver's decimal replies out of library-filled buffers.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

// The library fills our buffers and may leave them unterminated or fill them with anything,
// so every read stops at the buffer's end as well as at the first NUL.
//
// Numbers read the way the C runtime's atoi does: leading white space, an optional sign, then
// decimal digits up to the first other character. No digit at all reads as 0; a value outside
// the 32-bit range saturates at INT32_MIN/INT32_MAX. A number cut off by the buffer's end reads
// as the digits that lie inside the buffer.
int32_t ReadDecimalUtf16(const void* buffer, size_t bufferBytes);
int32_t ReadDecimal8Bit(const void* buffer, size_t bufferBytes);

// UTF-16 text up to the first NUL or the buffer's end, whichever comes first.
std::wstring ReadUtf16Text(const void* buffer, size_t bufferBytes);
