// result_model.h - the result list as a Qt list model: a view over the
// core's ResultList that turns a line into a QString only when the view
// draws it or a copy reads it, so a million lines cost no more to show than
// the screenful that is visible.
#ifndef LEDGROVE_APP_UI_RESULT_MODEL_H
#define LEDGROVE_APP_UI_RESULT_MODEL_H

#include <QAbstractListModel>

#include "app/search/result_list.h"

namespace ledgrove::ui {

class ResultModel : public QAbstractListModel {
    Q_OBJECT

public:
    explicit ResultModel(const ResultList &lines, QObject *parent = nullptr)
        : QAbstractListModel(parent), lines_(lines) {}

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role) const override;

    // Around every change of the list: a search empties and fills it.
    void begin_change() { beginResetModel(); }
    void end_change() { endResetModel(); }

private:
    const ResultList &lines_;
};

}  // namespace ledgrove::ui

#endif  // LEDGROVE_APP_UI_RESULT_MODEL_H
