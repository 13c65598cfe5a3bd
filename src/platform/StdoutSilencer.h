// Keeps standard output off while one of these lives: file descriptor 1 points at the null
// device, so that lines a library prints there (the diagnostic lines of some driver operations)
// do not mix into a program's own output. What was written before is flushed to the real output
// first; what was written in between is flushed into the null device before the real output
// comes back.
#pragma once

namespace qv::platform {

class StdoutSilencer {
public:
    StdoutSilencer();
    ~StdoutSilencer();
    StdoutSilencer(const StdoutSilencer&) = delete;
    StdoutSilencer& operator=(const StdoutSilencer&) = delete;

    // False when the output could not be redirected (it then stays where it was).
    bool active() const { return saved_ >= 0; }

private:
    int saved_ = -1;  // a copy of the real standard output while silenced
};

}  // namespace qv::platform
