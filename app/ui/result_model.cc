// result_model.cc - result lines on demand.
#include "app/ui/result_model.h"

#include <climits>

#include "app/ui/ansi_text.h"

namespace ledgrove::ui {

int ResultModel::rowCount(const QModelIndex &parent) const {
    if (parent.isValid()) return 0;
    return lines_.size() > static_cast<std::size_t>(INT_MAX) ? INT_MAX
                                                             : static_cast<int>(lines_.size());
}

QVariant ResultModel::data(const QModelIndex &index, int role) const {
    if (role != Qt::DisplayRole || !index.isValid() || index.row() >= rowCount()) return {};
    return from_ansi(lines_.line(static_cast<std::size_t>(index.row())));
}

}  // namespace ledgrove::ui
