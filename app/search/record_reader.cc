// record_reader.cc - the large reads of the search plans.
#include "app/search/record_reader.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace ledgrove::plan {

void RecordReader::read(const std::uint32_t *numbers, std::size_t count, CheckRecord *slots,
          std::uint32_t *results) {
    // Each record number with its slot in one integer, sorted as such:
    // far quicker than sorting slots through the numbers they point at.
    order_.resize(count);
    for (std::size_t i = 0; i < count; ++i) order_[i] = std::uint64_t(numbers[i]) << 32 | i;
    if (!std::is_sorted(order_.begin(), order_.end())) std::sort(order_.begin(), order_.end());
    const auto number_at = [&](std::size_t k) { return static_cast<std::uint32_t>(order_[k] >> 32); };
    const auto slot_at = [&](std::size_t k) { return static_cast<std::uint32_t>(order_[k]); };
    std::size_t i = 0;
    while (i < count) {
        const std::uint32_t first = number_at(i);
        std::size_t j = i + 1;
        while (j < count && number_at(j) - number_at(j - 1) <= kRunGap && number_at(j) - first < kRunRecords)
            ++j;
        const std::uint32_t last = number_at(j - 1);
        if (last == first || !read_run(first, last)) {
            for (std::size_t k = i; k < j; ++k)
                results[slot_at(k)] = KvlDataGetRecord(data_, number_at(k), &slots[slot_at(k)]);
        } else {
            for (std::size_t k = i; k < j; ++k) {
                std::memcpy(&slots[slot_at(k)], run_.data() + (number_at(k) - first) * kCheckRecordSize,
                            kCheckRecordSize);
                results[slot_at(k)] = ERR_NONE;
            }
        }
        i = j;
    }
}

bool RecordReader::read_run(std::uint32_t first, std::uint32_t last) {
    const DbfHeader &header = data_->header;
    if (first == 0 || last > header.record_count) return false;
    const std::uint64_t offset =
        header.header_length + std::uint64_t(first - 1) * kCheckRecordSize;
    const std::uint64_t bytes = std::uint64_t(last - first + 1) * kCheckRecordSize;
    if (offset + bytes >= std::numeric_limits<std::uint32_t>::max()) return false;
    run_.resize(bytes);
    std::uint32_t length = static_cast<std::uint32_t>(bytes);
    std::uint32_t position[2] = {static_cast<std::uint32_t>(offset), 0};
    const std::uint32_t rc =
        KvlReadAtFile(data_->os_handle, &length, run_.data(), position, data_->file_layer);
    return rc == ERR_NONE && length == bytes;
}

}  // namespace ledgrove::plan
