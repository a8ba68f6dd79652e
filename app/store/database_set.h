// database_set.h - the register as the program keeps it open: the data file
// ChkREG.DBF and its eight index files, one control record each, plus the
// one record buffer that every search and export reads into and the result
// of the last engine call.
//
// Files are named relative to a register directory ("" is the working
// directory).  Each control record is allocated zero-filled and given only
// what the engine reads before an open: the data file gets state flag 16
// (record-level index calls pass over records tagged '*'), open mode
// 0x00200042 and room for the eight field descriptors; each index gets the
// same open mode, the data file as its link, node size 512 and tag filter
// 42 ('*': deleted records get no key when the index is rebuilt).
//
// A file that fails to open keeps its control record with OS handle 0, so
// the engine answers every later call on it with an error and a search in
// that order lists nothing; failures() tells which files those were
// (open_notice.h turns them into words).  A data file that opens with 8318
// (records appended but never counted, an import cut short) is open and
// sound; one shorter than the records its header counts is open but
// listed as a failure with 38.
// A register that may not be written is opened for reading alone: when a
// file refuses to open for writing (access denied, a write-protected
// medium), it is opened read-only, and so is every file after it; a folder
// that refuses writes makes every file read-only from the start, since
// each change writes new files beside the old.  read_only() then tells the
// callers: the searches and exports work, the maintenance refuses.
//
// open() over an open set closes it first and close() of a closed set does
// nothing, so both may be repeated freely.  Maintenance that deletes or
// replaces register files closes the set before and opens it again after.
#ifndef LEDGROVE_APP_STORE_DATABASE_SET_H
#define LEDGROVE_APP_STORE_DATABASE_SET_H

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "app/store/check_record.h"
#include "app/store/register_files.h"
#include "engine/korval32_control.h"

namespace ledgrove {

// The path of a register file: the name alone for the working directory,
// else directory/name.
std::string register_path(const std::string &directory, const char *file_name);

// The two control records of one register file set, filled for opening.
korval32::DataControl make_data_control(const std::string &path, std::uint32_t state_flags,
                                        const FileLayerTable *layer = nullptr,
                                        std::uint32_t open_mode = kRegisterOpenMode);
korval32::IndexControl make_index_control(const std::string &path, DataHandle data,
                                          const FileLayerTable *layer = nullptr,
                                          std::uint32_t open_mode = kRegisterOpenMode);

class DatabaseSet {
public:
    struct OpenFailure {
        std::string file_name;  // as in register_files.h
        std::uint32_t result;   // the engine's result of the open
    };

    // `layer`: the file layer every file of the set is opened through
    // (tests and fuzzing use an in-memory one); null is the built-in one.
    explicit DatabaseSet(std::string directory = "", const FileLayerTable *layer = nullptr);
    ~DatabaseSet();
    DatabaseSet(const DatabaseSet &) = delete;
    DatabaseSet &operator=(const DatabaseSet &) = delete;

    // Opens the data file and the eight indexes in the open order; every
    // file is tried whatever happened to the ones before.  `read_only`
    // opens every file for reading alone from the start, as for a register
    // that may not be written: a server that publishes the register asks
    // for it, so that nothing a visitor does can change a file.
    void open(bool read_only = false);
    // Closes the indexes in the close order, then the data file, and frees
    // every control record.
    void close();

    bool is_open() const { return !data_.empty(); }
    const std::string &directory() const { return directory_; }
    const FileLayerTable *file_layer() const { return layer_; }
    std::string path(const char *file_name) const { return register_path(directory_, file_name); }

    DataHandle data() const { return data_.get(); }
    IndexHandle index(RegisterIndex which) const;
    bool data_open() const;
    bool index_open(RegisterIndex which) const;

    // Some file of the set could only be opened for reading: the register
    // must not be changed.  False while closed.
    bool read_only() const { return read_only_; }

    // Files whose last open failed, in the open order; empty while closed.
    const std::vector<OpenFailure> &failures() const { return failures_; }

    // The result of the last engine call made through the set.
    std::uint32_t last_result() const { return last_result_; }
    // Keeps an engine result as the last one and hands it back.
    std::uint32_t note(std::uint32_t result) { return last_result_ = result; }

    // The shared record buffer.
    CheckRecord &record() { return record_; }

private:
    // Opens the file by the set's mode so far; the engine's result.
    std::uint32_t open_data();
    std::uint32_t open_index(RegisterIndex which);

    std::string directory_;
    const FileLayerTable *layer_ = nullptr;
    std::array<std::string, kIndexCount> index_paths_;
    std::string data_path_;
    korval32::DataControl data_;
    std::array<korval32::IndexControl, kIndexCount> indexes_;
    std::vector<OpenFailure> failures_;
    bool read_only_ = false;
    std::uint32_t last_result_ = ERR_NONE;
    CheckRecord record_{};
};

}  // namespace ledgrove

#endif  // LEDGROVE_APP_STORE_DATABASE_SET_H
