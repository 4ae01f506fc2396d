#pragma once

// The spin button's two events, raised as plain C++ calls (see GridHandler for why not signals).
class SpinHandler {
public:
    virtual ~SpinHandler() = default;

    virtual void upClick() = 0;
    virtual void downClick() = 0;
};
