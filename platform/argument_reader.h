// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#pragma once

#include <cstddef>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace kestrine {

// A program's arguments, read one at a time as the bytes the system gave,
// so that a file name that is not valid text still names its file. Options
// start with a dash; after "--" every argument is a name.
class ArgumentReader {
public:
    // `arguments` without the program's own name.
    explicit ArgumentReader(std::vector<std::string> arguments, bool loneDashIsName = true);
    // argv as main() has it, the program's name skipped.
    ArgumentReader(int argc, const char* const* argv, bool loneDashIsName = true);

    bool atEnd() const;
    // The next argument as it is, without taking it; empty at the end.
    std::string_view next() const;
    // The next argument when it is a name, not an option.
    bool takeName(std::string& name);
    // The next argument when it is one of `spellings` ("-y", "--overwrite").
    bool takeFlag(std::initializer_list<std::string_view> spellings);

    enum class Value { Absent, Taken, Missing };
    // The next argument when it is the option `longName` ("--output FILE",
    // "--output=FILE") or `shortName` ("-o FILE", "-oFILE"; empty for none),
    // with its value. Missing when the value is not there or empty.
    Value takeValue(std::string_view shortName, std::string_view longName, std::string& value);
    // The next argument whatever it is: an option nobody took.
    std::string takeAny();

private:
    void skipDoubleDash();

    std::vector<std::string> arguments_;
    std::size_t next_ = 0;
    bool namesOnly_ = false;
    bool loneDashIsName_ = true;
};

} // namespace kestrine
