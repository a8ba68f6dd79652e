// reindex_merge.cc - phase 2 of a rebuild: merge the runs into the leaves.
//
// Each run has a window of W entries in the input buffer, refilled from the
// work file as it empties.  A loser tree over the runs finds the smallest
// head in log2(C) compares per entry instead of a scan of all C runs.  Where
// the index forbids duplicates, two equal heads (a tie met in the tree) and
// a winner equal to the entry put out before it both end the rebuild with
// 8502, reporting the key and a record number.  Winners fill the leaves, F
// keys each, which are written in batches of Nb nodes from node 1 on.
#include <algorithm>

#include "engine/index/reindex_job.h"

namespace kvl::reindex {
namespace {

// Per run: entries taken from its current window, and taken in all.
struct RunState {
    uint32_t window_taken;
    uint32_t total_taken;
};

class Merger {
public:
    explicit Merger(Job &job) : job_(job) {}

    uint32_t run() {
        uint32_t rc = allocate();
        if (rc == ERR_NONE) rc = fill_windows();
        if (rc == ERR_NONE) rc = merge();
        if (rc == ERR_NONE) rc = flush_leaves(/*final=*/true);
        return rc;
    }

private:
    Job &job_;
    uint32_t runs_ = 0;        // C
    uint32_t window_ = 0;      // W entries per run
    uint32_t batch_nodes_ = 0; // Nb
    MemBlock output_, input_, table_, tree_;
    RunState *state_ = nullptr;
    uint32_t *losers_ = nullptr;  // losers_[0] is the winner
    uint32_t tie_run_ = 0;
    bool tie_ = false;

    // Leaf being filled.
    uint32_t leaves_needed_ = 0, leaves_done_ = 0;
    uint32_t leaf_in_batch_ = 0, slot_ = 0;
    uint32_t emitted_ = 0;

    uint32_t allocate() {
        runs_ = job_.runs_written;
        const uint32_t ns = job_.node_size;
        const uint64_t table_bytes = uint64_t{8} * runs_;
        const uint64_t needed = ns + table_bytes + ns / 2 + 1024;
        uint32_t usable = job_.usable_memory();
        if (usable < needed) {
            job_.need_memory(static_cast<uint32_t>(needed));
            return KVL_WIN_NOT_ENOUGH_MEMORY;
        }
        batch_nodes_ = std::min<uint32_t>(static_cast<uint32_t>((usable - table_bytes) / 2),
                                          job_.allocation_ceiling) / ns;
        if (batch_nodes_ == 0) {
            job_.need_memory(static_cast<uint32_t>(2 * ns + table_bytes));
            return KVL_WIN_NOT_ENOUGH_MEMORY;
        }
        const uint32_t buffer_bytes = batch_nodes_ * ns;
        uint32_t rc = output_.allocate(job_.heap(), buffer_bytes);
        if (rc == ERR_NONE) rc = input_.allocate(job_.heap(), buffer_bytes);
        if (rc == ERR_NONE && runs_ > 0) rc = table_.allocate(job_.heap(), 8 * runs_);
        if (rc == ERR_NONE && runs_ > 0) rc = tree_.allocate(job_.heap(), 4 * runs_);
        job_.need_memory(2 * buffer_bytes + 12 * runs_);
        if (rc != ERR_NONE) return rc;
        state_ = table_.get<RunState>();
        losers_ = tree_.get<uint32_t>();
        if (runs_ == 0) return ERR_NONE;
        window_ = std::min<uint64_t>(buffer_bytes / (uint64_t{runs_} * job_.entry_size),
                                     job_.run_size);
        return window_ == 0 ? ERR_REINDEX_MERGE : ERR_NONE;
    }

    uint8_t *window(uint32_t run) const {
        return input_.get() + uint64_t{run} * window_ * job_.entry_size;
    }
    uint8_t *head(uint32_t run) const {
        return window(run) + uint64_t{state_[run].window_taken} * job_.entry_size;
    }
    bool exhausted(uint32_t run) const {
        if (run >= runs_) return false;  // the virtual leaf used while building
        return state_[run].total_taken >= job_.run_size ||
               entry_record(head(run), job_.key_length) == kPaddingRecord;
    }

    // Reads the next window of a run: up to W entries that the run still has.
    uint32_t load_window(uint32_t run) {
        RunState &s = state_[run];
        uint32_t count = std::min(window_, job_.run_size - s.total_taken);
        uint64_t offset = (uint64_t{run} * job_.run_size + s.total_taken) * job_.entry_size;
        s.window_taken = 0;
        return read_at(job_.index_layer(), job_.index->work_file_handle, window(run),
                       count * job_.entry_size, static_cast<uint32_t>(offset));
    }

    uint32_t fill_windows() {
        for (uint32_t r = 0; r < runs_; ++r) {
            state_[r] = {0, 0};
            uint32_t rc = load_window(r);
            if (rc != ERR_NONE) return rc;
        }
        return ERR_NONE;
    }

    // Whether run a's head sorts before run b's.  Runs at their end lose to
    // every run; the virtual leaf `runs_` wins against all while the tree is
    // built.  Equal heads in a unique index are a tie.
    bool beats(uint32_t a, uint32_t b) {
        if (a == runs_) return true;
        if (b == runs_) return false;
        if (exhausted(b)) return true;
        if (exhausted(a)) return false;
        int32_t order = job_.compare_entries(head(a), head(b));
        if (order == 0 && job_.unique() && !tie_) {
            tie_ = true;
            tie_run_ = std::max(a, b);
        }
        return order < 0;
    }

    // Replays the matches from a leaf to the root.
    void adjust(uint32_t run) {
        uint32_t winner = run;
        for (uint32_t node = (run + runs_) / 2; node > 0; node /= 2) {
            if (beats(losers_[node], winner)) std::swap(losers_[node], winner);
        }
        losers_[0] = winner;
    }

    void build_tree() {
        for (uint32_t i = 0; i < runs_; ++i) losers_[i] = runs_;
        for (uint32_t r = runs_; r-- > 0;) adjust(r);
    }

    uint32_t merge() {
        leaves_needed_ = (job_.keys_built + job_.leaf_fill - 1) / job_.leaf_fill;
        if (runs_ == 0) return ERR_NONE;
        build_tree();
        for (;;) {
            if (tie_) return job_.duplicate(head(tie_run_));
            uint32_t winner = losers_[0];
            if (exhausted(winner)) return ERR_NONE;
            uint32_t rc = emit(head(winner));
            if (rc != ERR_NONE) return rc;
            if ((rc = advance(winner)) != ERR_NONE) return rc;
            adjust(winner);
        }
    }

    uint32_t advance(uint32_t run) {
        RunState &s = state_[run];
        ++s.window_taken;
        ++s.total_taken;
        if (s.window_taken == window_ && s.total_taken < job_.run_size) return load_window(run);
        return ERR_NONE;
    }

    uint8_t *leaf() const { return output_.get() + uint64_t{leaf_in_batch_} * job_.node_size; }

    // Puts one entry into the current leaf.
    uint32_t emit(const uint8_t *entry) {
        const uint32_t key_length = job_.key_length;
        if (job_.unique() && emitted_ > 0 && job_.compare_entries(entry, job_.previous) == 0)
            return job_.duplicate(entry);
        std::memcpy(job_.previous, entry, job_.entry_size);
        ++emitted_;
        std::memcpy(node_entry(leaf(), slot_, key_length), entry, job_.entry_size);
        if (++slot_ == job_.leaf_fill) {
            leaf()[0] = static_cast<uint8_t>(slot_);
            slot_ = 0;
            ++leaves_done_;
            if (++leaf_in_batch_ == batch_nodes_) {
                uint32_t rc = flush_leaves(/*final=*/false);
                if (rc != ERR_NONE) return rc;
            }
        }
        return job_.progress(20 + static_cast<uint32_t>(uint64_t{69} * leaves_done_ /
                                                        (leaves_needed_ ? leaves_needed_ : 1)));
    }

    // Writes the completed leaves of the batch (and, at the end, the
    // partial last leaf) after the key filter has seen them.
    uint32_t flush_leaves(bool final) {
        IndexControlRecord *ix = job_.index;
        if (final && slot_ > 0) {
            leaf()[0] = static_cast<uint8_t>(slot_);
            ++leaf_in_batch_;
            slot_ = 0;
        }
        uint32_t count = leaf_in_batch_;
        if (count > 0) {
            if (ix->key_filter) {
                uint32_t rc = ix->key_filter(KVL_FILTER_NODES, ix, output_.get(), count);
                if (rc != ERR_NONE) return rc;
            }
            uint32_t offset = job_.node_offset(job_.leaves + 1);
            uint32_t bytes = count * job_.node_size;
            if (!job_.below_lock_region(offset + bytes - job_.node_size)) return ERR_FILE_LIMIT;
            uint32_t rc = write_at(job_.index_layer(), ix->os_handle, output_.get(), bytes, offset);
            if (rc != ERR_NONE) return rc;
            job_.leaves += count;
            std::memset(output_.get(), 0, bytes);
        }
        leaf_in_batch_ = 0;
        return ERR_NONE;
    }
};

}  // namespace

uint32_t merge_runs_into_leaves(Job &job) {
    uint32_t rc;
    {
        Merger merger(job);
        rc = merger.run();
    }
    IndexControlRecord *ix = job.index;
    if (ix->work_file_handle) {
        uint32_t closed = KvlCloseFile(&ix->work_file_handle, job.index_layer());
        if (rc == ERR_NONE) rc = closed;
    }
    if (!(ix->state & KVL_STATE_KEEP_WORK)) KvlDeleteFile(job.work_file_name, job.index_layer());
    if (rc == ERR_NONE) ix->progress = 90;
    return rc;
}

}  // namespace kvl::reindex
