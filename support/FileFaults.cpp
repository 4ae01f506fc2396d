#include "support/FileFaults.h"

#include <array>
#include <utility>

namespace {

struct Plan {
    int remaining = 0; // units until the failure; 0 = nothing planned
    int err = 0;
};

struct Action {
    int remaining = 0; // units until it runs; 0 = nothing planned
    std::function<void()> run;
};

bool g_armed = false;
bool g_listing = false;
std::array<Plan, FileFaults::OpCount> g_plans;
std::array<Action, FileFaults::OpCount> g_actions;
std::vector<FileFaults::Step> g_steps;

} // namespace

namespace FileFaults {

void failNth(Op op, int nth, int err)
{
    g_plans[static_cast<std::size_t>(op)] = Plan { nth, err };
    g_armed = true;
}

void atNth(Op op, int nth, std::function<void()> action)
{
    g_actions[static_cast<std::size_t>(op)] = Action { nth, std::move(action) };
    g_armed = true;
}

void reset()
{
    g_plans = {};
    g_actions = {};
    g_steps.clear();
    g_armed = false;
    g_listing = false;
}

void startListing()
{
    g_steps.clear();
    g_listing = true;
    g_armed = true;
}

const std::vector<Step>& steps()
{
    return g_steps;
}

int check(Op op)
{
    std::size_t one = 1;
    return check(op, one);
}

int check(Op op, std::size_t& count)
{
    if (!g_armed) [[likely]]
        return 0;
    if (g_listing)
        g_steps.push_back({ op, count });
    Action& action = g_actions[static_cast<std::size_t>(op)];
    if (action.remaining > 0) {
        if (static_cast<std::size_t>(action.remaining) > count) {
            action.remaining -= static_cast<int>(count);
        } else {
            // Taken out first: the action may take file steps of its own.
            const std::function<void()> run = std::exchange(action, {}).run;
            run();
        }
    }
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
