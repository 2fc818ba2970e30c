#include "RuNearestWord.h"

#include <algorithm>
#include <vector>

namespace {

// Optimal string alignment distance: a swapped pair of neighbours counts as one edit, the
// commonest slip of the fingers.
int distance(const QString &word, const QString &other)
{
    const QChar *a = word.constData();
    const QChar *b = other.constData();
    const int n = word.size();
    const int m = other.size();
    std::vector<int> d(size_t(n + 1) * size_t(m + 1));
    const auto at = [&d, m](int i, int j) -> int & { return d[size_t(i) * size_t(m + 1) + size_t(j)]; };
    for (int i = 0; i <= n; ++i)
        at(i, 0) = i;
    for (int j = 0; j <= m; ++j)
        at(0, j) = j;
    for (int i = 1; i <= n; ++i) {
        for (int j = 1; j <= m; ++j) {
            const int cost = a[i - 1] == b[j - 1] ? 0 : 1;
            at(i, j) = std::min({at(i - 1, j) + 1, at(i, j - 1) + 1, at(i - 1, j - 1) + cost});
            if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
                at(i, j) = std::min(at(i, j), at(i - 2, j - 2) + 1);
        }
    }
    return at(n, m);
}

} // namespace

QString ruNearestWord(const QString &word, const QStringList &known)
{
    const int allowed = qMax(1, qMin(3, int(word.size()) / 3));
    QString best;
    int bestDistance = allowed + 1;
    for (const QString &candidate : known) {
        // A word cut short ("--frame", "--max") is one edit whatever it lacks.
        const bool cutShort = word.size() >= 3 && candidate.startsWith(word, Qt::CaseInsensitive);
        // Words that differ in length by more than the edits allowed are never near: measuring
        // them would cost length x length for a word of any length read from a file.
        int d = cutShort ? 1 : allowed + 1;
        if (qAbs(word.size() - candidate.size()) <= allowed)
            d = qMin(d, distance(word.toLower(), candidate.toLower()));
        if (d < bestDistance) {
            best = candidate;
            bestDistance = d;
        }
    }
    return best;
}
