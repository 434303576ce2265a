// The panel dialog's four exchange buffers, through which every driver request passes.
#pragma once
#include <windows.h>

#include <cstddef>

constexpr size_t kExchangeBufferSize = 1024;

// Addresses of the dialog's BYTE* members: the library is handed the address of the member
// that holds a buffer's address, never the buffer itself.
struct ExchangeBuffers {
    BYTE** setValue;
    BYTE** setParam;
    BYTE** getReply;
    BYTE** getParam;
};
