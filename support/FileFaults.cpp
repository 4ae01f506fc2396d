#include "support/FileFaults.h"

#include <array>

namespace {

struct Plan {
    int remaining = 0; // calls until the failure; 0 = nothing planned
    int err = 0;
};

constexpr std::size_t OpCount = 7;
bool g_armed = false;
std::array<Plan, OpCount> g_plans;

} // namespace

namespace FileFaults {

void failNth(Op op, int nth, int err)
{
    g_plans[static_cast<std::size_t>(op)] = Plan { nth, err };
    g_armed = true;
}

void reset()
{
    g_plans = {};
    g_armed = false;
}

int check(Op op)
{
    std::size_t one = 1;
    return check(op, one);
}

int check(Op op, std::size_t& count)
{
    if (!g_armed)
        return 0;
    Plan& plan = g_plans[static_cast<std::size_t>(op)];
    if (plan.remaining == 0)
        return 0;
    if (static_cast<std::size_t>(plan.remaining) > count) {
        plan.remaining -= static_cast<int>(count);
        return 0;
    }
    count = static_cast<std::size_t>(plan.remaining) - 1;
    plan.remaining = 0;
    return plan.err;
}

} // namespace FileFaults
