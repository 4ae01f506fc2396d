#pragma once

// The heap in use and its peak, counted by the program's own operator new and delete, since the process's own peak
// also holds what a benchmark made to measure with. Included by one source file of a benchmark only: it defines
// the program's replacement operators.

#include <algorithm>
#include <cstdlib>
#include <malloc.h>
#include <new>

std::size_t g_live = 0;
std::size_t g_peak = 0;

void* operator new(std::size_t size)
{
    void* block = std::malloc(size == 0 ? 1 : size);
    if (!block)
        throw std::bad_alloc();
    g_live += malloc_usable_size(block);
    g_peak = std::max(g_peak, g_live);
    return block;
}

void operator delete(void* block) noexcept
{
    if (block)
        g_live -= malloc_usable_size(block);
    std::free(block);
}

void operator delete(void* block, std::size_t) noexcept
{
    operator delete(block);
}

void* operator new(std::size_t size, std::align_val_t alignment)
{
    void* block = std::aligned_alloc(static_cast<std::size_t>(alignment),
        (std::max<std::size_t>(size, 1) + static_cast<std::size_t>(alignment) - 1) / static_cast<std::size_t>(alignment)
            * static_cast<std::size_t>(alignment));
    if (!block)
        throw std::bad_alloc();
    g_live += malloc_usable_size(block);
    g_peak = std::max(g_peak, g_live);
    return block;
}

void operator delete(void* block, std::align_val_t) noexcept
{
    operator delete(block);
}

void operator delete(void* block, std::size_t, std::align_val_t) noexcept
{
    operator delete(block);
}
