// The audio thread must never allocate or enter the kernel. Both are checked on the real
// processBlock: heap calls are counted through this program's own malloc family, and system calls
// are forbidden outright by a seccomp filter in a child process, which the kernel kills on the first
// one.

#include "plugin/VoiceSendProcessor.h"
#include "support/TestEnvironment.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstddef>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

extern "C"
{
    void* __libc_malloc(size_t);
    void* __libc_calloc(size_t, size_t);
    void* __libc_realloc(void*, size_t);
    void* __libc_memalign(size_t, size_t);
    void __libc_free(void*);
}

namespace
{
// Only the testing thread counts: JUCE's own threads may allocate meanwhile.
thread_local bool counting = false;
std::atomic<long> heapCalls{0};

void noteHeapCall()
{
    if (counting)
        heapCalls.fetch_add(1, std::memory_order_relaxed);
}
} // namespace

extern "C"
{
    void* malloc(size_t size)
    {
        noteHeapCall();
        return __libc_malloc(size);
    }

    void* calloc(size_t count, size_t size)
    {
        noteHeapCall();
        return __libc_calloc(count, size);
    }

    void* realloc(void* pointer, size_t size)
    {
        noteHeapCall();
        return __libc_realloc(pointer, size);
    }

    void* aligned_alloc(size_t alignment, size_t size)
    {
        noteHeapCall();
        return __libc_memalign(alignment, size);
    }

    void* memalign(size_t alignment, size_t size)
    {
        noteHeapCall();
        return __libc_memalign(alignment, size);
    }

    int posix_memalign(void** result, size_t alignment, size_t size)
    {
        noteHeapCall();
        *result = __libc_memalign(alignment, size);
        return *result != nullptr ? 0 : 12;
    }

    void free(void* pointer)
    {
        if (pointer != nullptr) // empty JUCE containers free nullptr when they go
            noteHeapCall();
        __libc_free(pointer);
    }
}

namespace
{
class RealtimeSafety : public testing::Test
{
protected:
    void SetUp() override
    {
        TestEnvironment::removeRegions();
        processor = std::make_unique<VoiceSendProcessor>();
        processor->prepareToPlay(48000.0, 512);
        stereo.setSize(2, 512);
        mono.setSize(1, 300);
        tooLong.setSize(1, 4096);
        for (int i = 0; i < 512; ++i)
        {
            stereo.setSample(0, i, std::sin(0.01f * static_cast<float>(i)));
            stereo.setSample(1, i, 0.5f);
        }
        mono.clear();
    }

    void TearDown() override
    {
        processor.reset();
        TestEnvironment::removeRegions();
    }

    // A run through every branch of the send path: stereo and mono, trimmed and unity, silenced,
    // paused, another sender on the bus, a block too long to send.
    void processManyBlocks()
    {
        juce::MidiBuffer midi;
        const float gains[] = {0.0f, 6.0f, -3.0f, -120.0f, 0.0005f};
        for (int i = 0; i < 2000; ++i)
        {
            processor->gainDb = gains[i % 5];
            processor->enabled = (i % 7) != 0;
            if (i % 11 == 0)
                processor->endpoint.region->senderId = 12345;
            processor->processBlock(i % 3 == 0 ? mono : stereo, midi);
        }
        processor->processBlock(tooLong, midi);
    }

    std::unique_ptr<VoiceSendProcessor> processor;
    juce::AudioBuffer<float> stereo, mono, tooLong;
};
} // namespace

TEST_F(RealtimeSafety, ProcessBlockNeverTouchesTheHeap)
{
    juce::AudioBuffer<float> warmUp(2, 64);
    juce::MidiBuffer midi;
    processor->processBlock(warmUp, midi);

    heapCalls = 0;
    counting = true;
    processManyBlocks();
    counting = false;
    EXPECT_EQ(0, heapCalls.load());
    EXPECT_GT(processor->endpoint.region->blockCounter, 1000u);

    // The counter does see allocations.
    counting = true;
    juce::AudioBuffer<float> allocates(2, 128);
    counting = false;
    EXPECT_GT(heapCalls.load(), 0);
}

namespace
{
constexpr int noSeccomp = 77;

// Runs `work` in a child in which the only system call allowed is the final exit; any other one
// makes the kernel kill the child with SIGSYS. Returns the child's wait status.
template <typename Work>
int runWithoutSystemCalls(Work&& work)
{
    const pid_t child = ::fork();
    if (child == 0)
    {
        sock_filter rules[] = {
            BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
            BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_exit_group, 0, 1),
            BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
            BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_KILL_PROCESS),
        };
        sock_fprog program{static_cast<unsigned short>(std::size(rules)), rules};
        if (::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0 ||
            ::syscall(__NR_seccomp, SECCOMP_SET_MODE_FILTER, 0, &program) != 0)
            ::_exit(noSeccomp);
        work();
        ::syscall(__NR_exit_group, 0);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return status;
}
} // namespace

TEST_F(RealtimeSafety, ProcessBlockMakesNoSystemCall)
{
    const int status = runWithoutSystemCalls([this] { processManyBlocks(); });
    if (WIFEXITED(status) && WEXITSTATUS(status) == noSeccomp)
        GTEST_SKIP() << "seccomp filters are not available here";
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
        << "killed by signal " << (WIFSIGNALED(status) ? WTERMSIG(status) : 0)
        << " (SIGSYS means a system call was made)";

    // The filter does catch a system call.
    const int probe = runWithoutSystemCalls([] { ::getppid(); });
    EXPECT_TRUE(WIFSIGNALED(probe) && WTERMSIG(probe) == SIGSYS);
}
