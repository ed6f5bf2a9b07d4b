// A file a Wine trace is being written to (a phase's standard error, which
// every process it starts inherits), read piece by piece while it grows.
#pragma once

#include <string>

namespace bench {

class TraceFile {
public:
    explicit TraceFile(std::string path) : path_(std::move(path)) {}

    // Current end of the file: the start of what is written from now on.
    unsigned long long End() const;
    std::string Read(unsigned long long from, unsigned long long to) const;

private:
    std::string path_;
};

}  // namespace bench
