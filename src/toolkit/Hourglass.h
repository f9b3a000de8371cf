#pragma once
// The hourglass pointer for the lifetime of the object. Hourglasses nest: each one pushes
// the wait pointer and takes off exactly the one it pushed.

namespace kalto {

class Hourglass {
public:
    Hourglass();
    ~Hourglass();
    Hourglass(const Hourglass&) = delete;
    Hourglass& operator=(const Hourglass&) = delete;

    // Takes the pointer off before the end of the scope (once).
    void restore();

private:
    bool active_ = false;
};

}  // namespace kalto
