#include "work_result.h"

#include <algorithm>

bool WorkResult::has(Reason::Kind kind) const
{
    return std::any_of(reasons.begin(), reasons.end(),
                       [kind](const Reason &reason) { return reason.kind == kind; });
}

QString WorkResult::explanation() const
{
    QStringList texts;
    for (const Reason &reason : reasons)
        texts << reason.text;
    return texts.join(u'\n');
}
