// rebuild.cc - building index files beside the old ones and putting them
// in their place.
#include "app/maint/rebuild.h"

#include <array>

#include "app/maint/file_replace.h"
#include "app/output/messages.h"

namespace ledgrove {
namespace {

// The engine's progress callback carries no context of the caller's, so the
// rebuild that is running is found here; rebuilds run one at a time on the
// thread that started them.
struct ProgressContext {
    const RebuildObserver *observer;
    RebuildProgress progress;
};
thread_local ProgressContext *active_progress = nullptr;

std::uint32_t report_progress(IndexHandle index, std::uint32_t) {
    ProgressContext *context = active_progress;
    if (context && index->progress != context->progress.percent) {
        context->progress.percent = index->progress;
        (*context->observer)(context->progress);
    }
    return 0;  // go on
}

class ProgressScope {
public:
    ProgressScope(ProgressContext *context) : saved_(active_progress) { active_progress = context; }
    ~ProgressScope() { active_progress = saved_; }

private:
    ProgressContext *saved_;
};

}  // namespace

RebuildReport build_index_file(const std::string &data_path, const std::string &index_path,
                               const std::string &work_path, RegisterIndex which,
                               const RebuildObserver &observer, std::size_t step,
                               std::size_t steps) {
    const IndexFileInfo &info = index_info(which);
    const std::string new_path = replacement_path(index_path);
    RebuildReport report;
    auto failed = [&](const char *stage, std::uint32_t result) {
        report.failures.push_back({info.file_name, stage, result});
        return report;
    };

    korval32::DataControl data_block = make_data_control(data_path, 0);
    DataHandle data = data_block.get();
    std::uint32_t rc = KvlDataOpenFile(data, 0);
    // Records appended and never flushed lie past the count: the rebuild
    // reads up to the count, as every other reader does.
    if (rc != ERR_NONE && rc != ERR_INCOMPLETE_WRITE) return failed("open data file", rc);

    KvlDeleteFile(new_path.c_str(), nullptr);  // a left-over of an interrupted rebuild
    std::array<char, KVL_EXPRESSION_SIZE> expression{};
    std::string(info.key_expression).copy(expression.data(), expression.size() - 1);
    rc = KvlIx4CreateFile(kRegisterNodeSize, kRebuildIndexFlags, 0, 0, nullptr, expression.data(),
                          data, new_path.c_str(), nullptr, 0, nullptr);
    if (rc != ERR_NONE) {
        data_block.close();
        KvlDeleteFile(new_path.c_str(), nullptr);
        return failed("create", rc);
    }

    korval32::IndexControl index_block = make_index_control(new_path, data);
    IndexHandle index = index_block.get();
    rc = KvlIx4OpenFile(index, 0);
    if (rc != ERR_NONE) {
        data_block.close();
        KvlDeleteFile(new_path.c_str(), nullptr);
        return failed("open", rc);
    }

    std::array<char, KVL_MAX_KEY_LENGTH> key{};
    std::uint32_t record_number = 0;
    KvlDeleteFile(work_path.c_str(), nullptr);
    ProgressContext context{&observer, {step, steps, info.file_name, 0}};
    {
        ProgressScope scope(observer ? &context : nullptr);
        const KvlIndexProgress saved = index->progress_callback;
        index->progress_callback = report_progress;
        index->tag_filter = kRegisterTagFilter;
        rc = KvlFuncIx4Reindex(index, work_path.c_str(), kRebuildFillPercent, key.data(),
                               &record_number);
        index->progress_callback = saved;
    }
    if (rc != ERR_NONE) failed("rebuild", rc);
    const std::uint32_t index_closed = index_block.close();
    const std::uint32_t data_closed = data_block.close();
    if (rc == ERR_NONE && index_closed != ERR_NONE) failed("close", index_closed);
    if (rc == ERR_NONE && data_closed != ERR_NONE) failed("close data file", data_closed);
    if (report.ok()) {
        if (std::error_code ec = replace_file(new_path, index_path))
            failed("replace", static_cast<std::uint32_t>(ec.value()));
    }
    if (!report.ok()) KvlDeleteFile(new_path.c_str(), nullptr);
    return report;
}

RebuildReport rebuild_index(const std::string &directory, RegisterIndex which,
                            const RebuildObserver &observer, std::size_t step,
                            std::size_t steps) {
    return build_index_file(register_path(directory, kDataFileName),
                            register_path(directory, index_info(which).file_name),
                            register_path(directory, kRebuildWorkFileName), which, observer, step,
                            steps);
}

RebuildReport rebuild_all_indexes(DatabaseSet &set, const RebuildObserver &observer) {
    RebuildReport report;
    if (set.read_only()) {
        report.error = messages::kReadOnlyRegister;
        return report;
    }
    const bool was_open = set.is_open();
    set.close();
    std::size_t step = 0;
    for (RegisterIndex which : kRebuildOrder) {
        RebuildReport one = rebuild_index(set.directory(), which, observer, step++, kIndexCount);
        report.failures.insert(report.failures.end(), one.failures.begin(), one.failures.end());
    }
    if (was_open) set.open();
    return report;
}

}  // namespace ledgrove
