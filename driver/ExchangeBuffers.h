// The panel dialog's four exchange buffers, through which every driver request passes.
#pragma once
#include <windows.h>

#include <cstddef>
#include <memory>

constexpr size_t kExchangeBufferSize = 1024;

// One 1024-byte buffer, contents not initialised. The library is handed the address of the
// pointer member that holds the buffer's address, never the buffer itself, so the object
// stays where it was made.
class ExchangeBuffer {
public:
    ExchangeBuffer()
        : m_storage(std::make_unique_for_overwrite<BYTE[]>(kExchangeBufferSize)), m_address(m_storage.get())
    {
    }
    ExchangeBuffer(const ExchangeBuffer&) = delete;
    ExchangeBuffer& operator=(const ExchangeBuffer&) = delete;

    BYTE** Holder() { return &m_address; }
    void Release()
    {
        m_address = nullptr;
        m_storage.reset();
    }

private:
    std::unique_ptr<BYTE[]> m_storage;
    BYTE* m_address;
};

// The driver code's view of the four buffers: the addresses it hands to the library.
struct ExchangeBuffers {
    BYTE** setValue;
    BYTE** setParam;
    BYTE** getReply;
    BYTE** getParam;
};
