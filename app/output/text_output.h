// text_output.h - where a writer's text goes: a file (CsvFileWriter) or
// ledgrove-cli's standard output.
#ifndef LEDGROVE_APP_OUTPUT_TEXT_OUTPUT_H
#define LEDGROVE_APP_OUTPUT_TEXT_OUTPUT_H

#include <string_view>

namespace ledgrove {

class TextOutput {
public:
    virtual ~TextOutput() = default;
    virtual void write(std::string_view text) = 0;
};

}  // namespace ledgrove

#endif  // LEDGROVE_APP_OUTPUT_TEXT_OUTPUT_H
