// rebuild.cc - deleting, creating and rebuilding index files.
#include "app/maint/rebuild.h"

#include <array>

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

RebuildReport rebuild_index(const std::string &directory, RegisterIndex which,
                            const RebuildObserver &observer, std::size_t step,
                            std::size_t steps) {
    const IndexFileInfo &info = index_info(which);
    const std::string data_path = register_path(directory, kDataFileName);
    const std::string index_path = register_path(directory, info.file_name);
    const std::string work_path = register_path(directory, kRebuildWorkFileName);
    RebuildReport report;
    auto failed = [&](const char *stage, std::uint32_t result) {
        report.failures.push_back({info.file_name, stage, result});
        return report;
    };

    ControlBlock data_block = make_data_control(data_path, 0);
    DataHandle data = data_block.as<DataControlRecord>();
    std::uint32_t rc = KvlDataOpenFile(data, 0);
    if (rc != ERR_NONE) return failed("open data file", rc);

    KvlDeleteFile(index_path.c_str(), nullptr);  // not there is as good as deleted
    std::array<char, KVL_EXPRESSION_SIZE> expression{};
    std::string(info.key_expression).copy(expression.data(), expression.size() - 1);
    rc = KvlIx4CreateFile(kRegisterNodeSize, kRebuildIndexFlags, 0, 0, nullptr, expression.data(),
                          data, index_path.c_str(), nullptr, 0, nullptr);
    if (rc != ERR_NONE) {
        KvlDataCloseFile(data);
        return failed("create", rc);
    }

    ControlBlock index_block = make_index_control(index_path, data);
    IndexHandle index = index_block.as<IndexControlRecord>();
    rc = KvlIx4OpenFile(index, 0);
    if (rc != ERR_NONE) {
        KvlDataCloseFile(data);
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
    const std::uint32_t index_closed = KvlIx4CloseFile(index);
    const std::uint32_t data_closed = KvlDataCloseFile(data);
    if (rc == ERR_NONE && index_closed != ERR_NONE) failed("close", index_closed);
    if (rc == ERR_NONE && data_closed != ERR_NONE) failed("close data file", data_closed);
    return report;
}

RebuildReport rebuild_all_indexes(DatabaseSet &set, const RebuildObserver &observer) {
    const bool was_open = set.is_open();
    set.close();
    RebuildReport report;
    std::size_t step = 0;
    for (RegisterIndex which : kRebuildOrder) {
        RebuildReport one = rebuild_index(set.directory(), which, observer, step++, kIndexCount);
        report.failures.insert(report.failures.end(), one.failures.begin(), one.failures.end());
    }
    if (was_open) set.open();
    return report;
}

}  // namespace ledgrove
