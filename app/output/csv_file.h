// csv_file.h - writing a text file: a register CSV file for both register
// exports, and the CSV and JSON files of the table exports.
//
// The file goes through the engine's file layer, so a failure carries the
// same error number the engine gives for it everywhere
// (KVL_WIN_FILE_NOT_FOUND for a missing folder, KVL_WIN_ACCESS_DENIED for
// access denied, KVL_WIN_DISK_FULL for a full disk).  An existing file is
// replaced: it is emptied and written anew.
#ifndef LEDGROVE_APP_OUTPUT_CSV_FILE_H
#define LEDGROVE_APP_OUTPUT_CSV_FILE_H

#include <cstdint>
#include <string>
#include <string_view>

#include "app/output/text_output.h"

namespace ledgrove {

class CsvFileWriter : public TextOutput {
public:
    CsvFileWriter() = default;
    ~CsvFileWriter();
    CsvFileWriter(const CsvFileWriter &) = delete;
    CsvFileWriter &operator=(const CsvFileWriter &) = delete;

    // Creates the file, or empties an existing one; 0 or the error.
    std::uint32_t create(const std::string &path);

    // Appends text.  Writes are buffered; the first failure is kept and
    // every later write does nothing.
    void write(std::string_view text) override;

    // Writes what is buffered and closes the file: 0, or the first write
    // failure, or the failure of the close.
    std::uint32_t finish();

    std::uint32_t write_error() const { return write_error_; }

private:
    void flush();

    std::uint32_t handle_ = 0;
    bool open_ = false;
    std::string buffer_;
    std::uint32_t write_error_ = 0;
};

}  // namespace ledgrove

#endif  // LEDGROVE_APP_OUTPUT_CSV_FILE_H
