#pragma once

#include <cstddef>
#include <filesystem>
#include <thread>

namespace corvanetov {

// What this process holds, to compare before and after an operation.
struct ProcessCounts {
    static size_t Entries(const char* folder)
    {
        return static_cast<size_t>(
            std::distance(std::filesystem::directory_iterator(folder), std::filesystem::directory_iterator()));
    }
    static size_t Threads() { return Entries("/proc/self/task"); }
    static size_t Descriptors() { return Entries("/proc/self/fd"); }
    // The thread count before any operation: a sanitizer's runtime starts a
    // helper thread of its own with the first thread the program makes, and
    // keeps it; one thread started and joined first lets it come.
    static size_t ThreadsBeforeAll()
    {
        std::thread([] {}).join();
        return Threads();
    }
};

} // namespace corvanetov
