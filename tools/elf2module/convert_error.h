// The one error of the converter: a message saying why the input object cannot become a
// module image. Every check in the reader, the layout and the relocator throws it.
#pragma once

#include <stdexcept>
#include <string>

namespace elf2module {

class ConvertError : public std::runtime_error {
public:
    explicit ConvertError(const std::string& message) : std::runtime_error(message) {}
};

}  // namespace elf2module
