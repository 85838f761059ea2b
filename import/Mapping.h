#pragma once

#include "import/Sheet.h"

#include <QString>
#include <QStringList>

// Which column of the sheet fills which field of the vehicle window. Pure data apart from the
// remembered mappings (QSettings).
namespace fd::import {

// The field (column of celiangzongbiao) a header names: by the vehicle window's label ("车主姓名",
// "审车信息的备注"), the column's own name, or a common other name ("号牌号码", "手机",
// "行驶证到期"). Spaces, colons and case do not count. Empty when none.
QString fieldForHeader(const QString& header);

// One field per sheet column (empty: not imported); a field is given to its first column only.
QStringList autoMapping(const QStringList& headers);

// The row (0-based, among the first 30) that names the most fields: the header row.
int findHeaderRow(const Sheet& sheet);
QStringList headerTexts(const Sheet& sheet, int headerRow);

// The mapping chosen by hand for the same headers last time, if any (one per header set).
QStringList rememberedMapping(const QStringList& headers);
void rememberMapping(const QStringList& headers, const QStringList& mapping);

} // namespace fd::import
