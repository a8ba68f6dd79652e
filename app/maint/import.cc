// import.cc - reading a register CSV file line by line into records.
#include "app/maint/import.h"

#include <algorithm>
#include <filesystem>
#include <optional>
#include <string_view>

#include "app/maint/append_buffer.h"
#include "app/maint/import_line.h"
#include "app/output/messages.h"
#include "app/store/amount_text.h"
#include "app/store/error_text.h"
#include "app/store/record_id.h"

namespace ledgrove {
namespace {

constexpr std::uint32_t kReadAccess = 0x0000;  // read only; sharing is not enforced
constexpr std::uint32_t kChunkSize = 1 << 20;
constexpr std::size_t kLinesPerProgress = 4096;

// Reads a file through the engine's file layer and hands out its lines.
class LineReader {
public:
    ~LineReader() {
        if (open_) KvlCloseFile(&handle_, layer_);
    }

    std::uint32_t open(const std::string &path, const FileLayerTable *layer) {
        layer_ = layer;
        const std::uint32_t rc = KvlOpenFile(path.c_str(), kReadAccess, &handle_, layer_);
        open_ = rc == ERR_NONE;
        return rc;
    }

    // The next line without its LF or CR LF; false at the end of the file
    // or on a read error (error() tells which).
    bool next(std::string_view *line) {
        for (;;) {
            const std::size_t end = text_.find('\n', pos_);
            if (end != std::string::npos) return take(end, end + 1, line);
            if (at_end_) {
                if (pos_ >= text_.size()) return false;
                return take(text_.size(), text_.size(), line);
            }
            refill();
        }
    }

    std::uint32_t error() const { return error_; }
    // Bytes handed out as lines so far.
    std::uint64_t consumed() const { return read_ - (text_.size() - pos_); }

private:
    bool take(std::size_t end, std::size_t next, std::string_view *line) {
        std::string_view found(text_.data() + pos_, end - pos_);
        if (!found.empty() && found.back() == '\r') found.remove_suffix(1);
        *line = found;
        pos_ = next;
        return true;
    }

    void refill() {
        text_.erase(0, pos_);
        pos_ = 0;
        const std::size_t kept = text_.size();
        text_.resize(kept + kChunkSize);
        std::uint32_t length = kChunkSize;
        std::uint32_t rc = KvlReadFile(handle_, &length, text_.data() + kept, layer_);
        // A short read is the end of the file, not a failure.
        if (rc == KVL_WIN_HANDLE_EOF) {
            rc = ERR_NONE;
            at_end_ = true;
        }
        if (rc != ERR_NONE) {
            error_ = rc;
            length = 0;
        }
        text_.resize(kept + length);
        read_ += length;
        if (length == 0) at_end_ = true;
    }

    const FileLayerTable *layer_ = nullptr;
    std::uint32_t handle_ = 0;
    bool open_ = false;
    std::string text_;
    std::size_t pos_ = 0;
    bool at_end_ = false;
    std::uint32_t error_ = ERR_NONE;
    std::uint64_t read_ = 0;
};

// The id the register's last record carries, read from the id index.
std::uint64_t last_id_in_index(DatabaseSet &set) {
    if (!set.index_open(kLastIdIndex)) return 0;
    char key[KVL_MAX_KEY_LENGTH] = {};
    std::uint32_t record_number = 0;
    CheckRecord &record = set.record();
    if (set.note(KvlIx4GetLast(set.index(kLastIdIndex), key, &record_number, &record)) != ERR_NONE)
        return 0;
    return parse_record_id(std::string_view(record.ID, sizeof record.ID)).value_or(0);
}

// One line of the file: skipped, refused past the id limit, or added with
// the next id, built in the set's shared record buffer.  The engine's
// result of the add: a refusal fails the whole import.
std::uint32_t import_line(DatabaseSet &set, std::string_view line, std::size_t number,
                          std::uint64_t &counter, ImportReport &report) {
    CheckRecord &record = set.record();
    record = blank_record();
    const ImportLineStatus status = parse_import_line(line, record);
    if (status == ImportLineStatus::Blank) {
        ++report.blank_lines;
        return ERR_NONE;
    }
    if (status != ImportLineStatus::Ok) {
        report.skipped.push_back({number, std::string(import_line_status_text(status))});
        return ERR_NONE;
    }
    const std::optional<std::string> id = record_id_text(counter + 1);
    if (!id) {
        ++report.refused_past_id_limit;
        return ERR_NONE;
    }
    set_field(record.ID, *id);
    ++counter;
    std::uint32_t record_number = 0;
    if (const std::uint32_t rc = set.note(KvlDataAddRecord(set.data(), &record, &record_number));
        rc != ERR_NONE)
        return rc;
    counter = std::max<std::uint64_t>(counter, record_number);
    ++report.imported;
    // The stored amount always reads: the line parser made it.
    report.imported_cents += read_amount(std::string_view(record.AMOUNT, sizeof record.AMOUNT)).cents;
    if (report.first_id.empty()) report.first_id = *id;
    report.last_id = *id;
    return ERR_NONE;
}

// Takes back the records an import added before it failed: the count goes
// back to what it was and the flush cuts the file after it, so the
// register is as it was before the import.  The report counts nothing
// imported and says why.
void take_back(DatabaseSet &set, std::uint32_t count_before, std::uint32_t rc,
               const std::string &why, ImportReport &report) {
    DataControlRecord *data = set.data();
    data->header.record_count = count_before;
    data->state |= KVL_STATE_CHANGED;  // a failed flush may have cleared it
    KvlDataFlushHeader(data);
    set.note(rc);
    report.imported = 0;
    report.imported_cents = 0;
    report.first_id.clear();
    report.last_id.clear();
    report.error = why + ": " + error_reason(rc) + "; the register is as it was before the import";
}

}  // namespace

ImportReport import_csv(DatabaseSet &set, const std::string &csv_path,
                        const ImportObserver &observer) {
    ImportReport report;
    const bool was_open = set.is_open();
    if (!was_open) set.open();
    auto finish = [&]() -> ImportReport & {
        if (!was_open) set.close();
        return report;
    };
    if (!set.data_open()) {
        report.error = std::string("cannot open the register's data file ") + kDataFileName;
        return finish();
    }
    if (set.read_only()) {
        report.error = messages::kReadOnlyRegister;
        return finish();
    }

    LineReader reader;
    report.file_error = reader.open(csv_path, set.file_layer());
    if (report.file_error != ERR_NONE) {
        report.error = "cannot open " + csv_path + ": " + error_reason(report.file_error);
        return finish();
    }

    std::uint64_t counter =
        std::max<std::uint64_t>(last_id_in_index(set), set.data()->header.record_count);
    std::error_code size_error;
    const std::uint64_t file_size =
        set.file_layer() ? 0 : std::filesystem::file_size(csv_path, size_error);
    std::size_t number = 0;
    auto report_progress = [&] {
        if (observer) observer({number, reader.consumed(), size_error ? 0 : file_size});
    };
    const std::uint32_t count_before = set.data()->header.record_count;
    std::uint32_t failed = ERR_NONE;  // an add or a block write
    std::uint32_t flushed = ERR_NONE;
    {
        // The records go out in large blocks; any failure, the block
        // writes' included, fails the import as a whole.
        AppendBuffer appends(set.data());
        std::string_view line;
        while (failed == ERR_NONE && reader.next(&line)) {
            if (++number % kLinesPerProgress == 0) report_progress();
            failed = import_line(set, line, number, counter, report);
        }
        report_progress();
        if (failed == ERR_NONE && reader.error() == ERR_NONE) {
            failed = appends.flush();
            // The flush is the import's commit: until the count on disk
            // moves, the new records lie past it and a crash leaves the
            // register as it was before the import, with none of them.  The
            // flush forces the records to the disk before the count.
            if (failed == ERR_NONE) {
                flushed = set.note(KvlDataFlushHeader(set.data()));
                if (appends.failure() != ERR_NONE) {
                    failed = appends.failure();
                    flushed = ERR_NONE;
                }
            }
        }
    }
    if (failed != ERR_NONE) {
        // The line where it happened, so that a list of skipped lines says
        // what became of the import.
        report.skipped.push_back(
            {number, "not added (engine error " + std::to_string(failed) + "): nothing imported"});
        take_back(set, count_before, failed,
                  std::string("cannot add the records to ") + kDataFileName, report);
        return finish();
    }
    if (reader.error() != ERR_NONE) {
        report.file_error = reader.error();
        take_back(set, count_before, reader.error(), "cannot read " + csv_path, report);
        return finish();
    }
    if (flushed != ERR_NONE) {
        take_back(set, count_before, flushed,
                  std::string("cannot write the header of ") + kDataFileName, report);
        return finish();
    }
    if (report.refused_past_id_limit > 0) {
        report.error = "record ids are used up (the last possible id is zzzzzz): " +
                       std::to_string(report.refused_past_id_limit) + " lines not imported";
    } else if (report.imported == 0) {
        report.error = "no line of " + csv_path + " could be imported";
    }
    return finish();
}

}  // namespace ledgrove
