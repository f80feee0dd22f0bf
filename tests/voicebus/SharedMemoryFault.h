#pragma once

// Lets a test make every shm_open of this process fail, as on a system without usable shared memory.
// The program's own shm_open shadows the C library's and forwards to it unless a failure is scoped.

class SharedMemoryFails
{
public:
    SharedMemoryFails();
    ~SharedMemoryFails();
    SharedMemoryFails(const SharedMemoryFails&) = delete;
    SharedMemoryFails& operator=(const SharedMemoryFails&) = delete;
};
