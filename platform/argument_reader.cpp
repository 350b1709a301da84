// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "platform/argument_reader.h"

namespace kestrine {

ArgumentReader::ArgumentReader(std::vector<std::string> arguments, bool loneDashIsName)
    : arguments_(std::move(arguments)), loneDashIsName_(loneDashIsName)
{
    skipDoubleDash();
}

ArgumentReader::ArgumentReader(int argc, const char* const* argv, bool loneDashIsName)
    : loneDashIsName_(loneDashIsName)
{
    for (int i = 1; i < argc; ++i)
        arguments_.emplace_back(argv[i]);
    skipDoubleDash();
}

void ArgumentReader::skipDoubleDash()
{
    if (!namesOnly_ && next_ < arguments_.size() && arguments_[next_] == "--") {
        namesOnly_ = true;
        ++next_;
    }
}

bool ArgumentReader::atEnd() const
{
    return next_ >= arguments_.size();
}

std::string_view ArgumentReader::next() const
{
    return atEnd() ? std::string_view() : std::string_view(arguments_[next_]);
}

bool ArgumentReader::takeName(std::string& name)
{
    if (atEnd())
        return false;
    const std::string& argument = arguments_[next_];
    const bool isName = namesOnly_ || argument.empty() || argument.front() != '-' ||
                        (argument == "-" && loneDashIsName_);
    if (!isName)
        return false;
    name = argument;
    ++next_;
    skipDoubleDash();
    return true;
}

bool ArgumentReader::takeFlag(std::initializer_list<std::string_view> spellings)
{
    if (atEnd() || namesOnly_)
        return false;
    for (std::string_view spelling : spellings) {
        if (arguments_[next_] == spelling) {
            ++next_;
            skipDoubleDash();
            return true;
        }
    }
    return false;
}

ArgumentReader::Value ArgumentReader::takeValue(std::string_view shortName, std::string_view longName,
                                                std::string& value)
{
    if (atEnd() || namesOnly_)
        return Value::Absent;
    const std::string_view argument = arguments_[next_];
    Value taken = Value::Absent;
    if (argument == longName || (!shortName.empty() && argument == shortName)) {
        ++next_;
        if (atEnd()) {
            taken = Value::Missing;
        } else {
            // The value is taken as it is, even when it starts with a dash.
            value = arguments_[next_++];
            taken = value.empty() ? Value::Missing : Value::Taken;
        }
    } else if (argument.size() > longName.size() && argument.substr(0, longName.size()) == longName &&
               argument[longName.size()] == '=') {
        value = std::string(argument.substr(longName.size() + 1));
        ++next_;
        taken = value.empty() ? Value::Missing : Value::Taken;
    } else if (!shortName.empty() && argument.size() > shortName.size() &&
               argument.substr(0, shortName.size()) == shortName) {
        value = std::string(argument.substr(shortName.size()));
        ++next_;
        taken = Value::Taken;
    }
    if (taken != Value::Absent)
        skipDoubleDash();
    return taken;
}

std::string ArgumentReader::takeAny()
{
    if (atEnd())
        return {};
    std::string argument = arguments_[next_++];
    skipDoubleDash();
    return argument;
}

} // namespace kestrine
