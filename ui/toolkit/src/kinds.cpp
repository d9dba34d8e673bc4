// The kinds of control and the table that maps a style to its kind.
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMetaEnum>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QStyle>
#include <QTreeWidget>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "kinds.h"

namespace tk::detail {
namespace {

// The kind's set-up has checked the widget's class, so later casts are safe.
template <class W> W *As(const Control &c) {
    return static_cast<W *>(c.widget.data());
}

void FireCommit(int panel, int control) {
    FireCtrl(panel, control, EVENT_COMMIT, 0, 0);
}

// ---- shared value conversions of the text kinds ------------------------------------

int SetIntAsText(Control &c, int v) {
    return c.kind->value.setText(c, QString::number(v));
}

int SetDoubleAsText(Control &c, double v) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%g", v);
    return c.kind->value.setText(c, QString::fromLatin1(buf));
}

int GetIntFromText(const Control &c, int *v) {
    std::string text;
    int r = c.kind->value.getText(c, &text);
    if (r)
        return r;
    long n = std::strtol(text.c_str(), nullptr, 10);
    *v = static_cast<int>(std::clamp(n, long(INT_MIN), long(INT_MAX)));
    return 0;
}

// Text kinds show numbers as text and read them back parsed.
constexpr ValueOps TextValues(int (*set)(Control &, const QString &),
                              int (*get)(const Control &, std::string *)) {
    return {.setInt = SetIntAsText,
            .setDouble = SetDoubleAsText,
            .setText = set,
            .getInt = GetIntFromText,
            .getText = get};
}

// ---- picture button --------------------------------------------------------------------

bool SetUpPictureButton(Control &c, int panel) {
    auto *b = qobject_cast<QPushButton *>(c.widget);
    if (!b)
        return false;
    QString iconName = b->property("stdIcon").toString();
    if (!iconName.isEmpty()) {
        bool ok = false;
        int sp = QMetaEnum::fromType<QStyle::StandardPixmap>().keyToValue(
            iconName.toLatin1().constData(), &ok);
        if (ok)
            b->setIcon(b->style()->standardIcon(static_cast<QStyle::StandardPixmap>(sp)));
    }
    int id = c.id;
    QObject::connect(b, &QPushButton::clicked, b, [panel, id] { FireCommit(panel, id); });
    return true;
}

// ---- radio button ----------------------------------------------------------------------

bool SetUpRadio(Control &c, int panel) {
    auto *r = qobject_cast<QRadioButton *>(c.widget);
    if (!r)
        return false;
    // The program keeps the group exclusive itself.
    r->setAutoExclusive(false);
    int id = c.id;
    QObject::connect(r, &QRadioButton::clicked, r, [panel, id] { FireCommit(panel, id); });
    return true;
}

int SetRadio(Control &c, int v) {
    As<QRadioButton>(c)->setChecked(v != 0);
    return 0;
}

int GetRadio(const Control &c, int *v) {
    *v = As<QRadioButton>(c)->isChecked() ? 1 : 0;
    return 0;
}

// ---- numeric -----------------------------------------------------------------------------

bool SetUpNumeric(Control &c, int) {
    auto *sb = qobject_cast<QSpinBox *>(c.widget);
    if (!sb)
        return false;
    c.minValue = sb->minimum();
    c.maxValue = sb->maximum();
    c.dflt = sb->value();
    return true;
}

void NumericRange(Control &c) {
    auto *sb = As<QSpinBox>(c);
    sb->setRange(RoundToInt(c.minValue), RoundToInt(c.maxValue));
    sb->setSingleStep(std::max(1, RoundToInt(c.incrValue)));
}

// Read-only fields look it: the window's colour instead of the edit field's.
void ReadOnlyLook(QWidget *w, bool readOnly) {
    QPalette pal = w->palette();
    QPalette standard = QApplication::palette(w);
    pal.setColor(QPalette::Base, standard.color(readOnly ? QPalette::Window : QPalette::Base));
    w->setPalette(pal);
}

void SpinReadOnly(QWidget *w, bool readOnly) {
    static_cast<QSpinBox *>(w)->setReadOnly(readOnly);
    ReadOnlyLook(w, readOnly);
}

int SetNumeric(Control &c, int v) {
    As<QSpinBox>(c)->setValue(v);
    return 0;
}

int GetNumeric(const Control &c, int *v) {
    *v = As<QSpinBox>(c)->value();
    return 0;
}

int GetNumericText(const Control &c, std::string *text) {
    *text = std::to_string(As<QSpinBox>(c)->value());
    return 0;
}

// ---- progress slide ----------------------------------------------------------------------

// The bar counts in ten-thousandths so that fractional values still move it.
constexpr int kBarSteps = 10000;

void ShowSlide(Control &c) {
    double span = c.maxValue - c.minValue;
    double frac = span > 0 ? (c.slideValue - c.minValue) / span : 0.0;
    frac = std::clamp(frac, 0.0, 1.0);
    As<QProgressBar>(c)->setValue(static_cast<int>(std::lround(frac * kBarSteps)));
}

bool SetUpSlide(Control &c, int) {
    auto *bar = qobject_cast<QProgressBar *>(c.widget);
    if (!bar)
        return false;
    bar->setRange(0, kBarSteps);
    c.minValue = 0.0;
    c.maxValue = 100.0;
    c.incrValue = 1.0;
    c.slideValue = 0.0;
    ShowSlide(c);
    return true;
}

int SetSlideDouble(Control &c, double v) {
    if (std::isnan(v))
        return UIE_BAD_VALUE;
    c.slideValue =
        std::clamp(v, std::min(c.minValue, c.maxValue), std::max(c.minValue, c.maxValue));
    ShowSlide(c);
    return 0;
}

int SetSlideInt(Control &c, int v) {
    return SetSlideDouble(c, v);
}

int GetSlideInt(const Control &c, int *v) {
    *v = RoundToInt(c.slideValue);
    return 0;
}

int GetSlideDouble(const Control &c, double *v) {
    *v = c.slideValue;
    return 0;
}

// ---- string --------------------------------------------------------------------------------

bool SetUpString(Control &c, int) {
    auto *le = qobject_cast<QLineEdit *>(c.widget);
    if (!le)
        return false;
    c.dfltText = Utf8(le->text());
    return true;
}

void LineReadOnly(QWidget *w, bool readOnly) {
    auto *le = static_cast<QLineEdit *>(w);
    QString full = FullText(le);
    le->setReadOnly(readOnly);
    ReadOnlyLook(w, readOnly);
    SetShortenedText(le, full);
}

int SetString(Control &c, const QString &text) {
    // Long texts show their start.
    SetShortenedText(As<QLineEdit>(c), text);
    return 0;
}

int GetString(const Control &c, std::string *text) {
    *text = Utf8(FullText(As<QLineEdit>(c)));
    return 0;
}

// ---- text message --------------------------------------------------------------------------

bool SetUpTextMsg(Control &c, int) {
    auto *l = qobject_cast<QLabel *>(c.widget);
    if (!l)
        return false;
    l->setTextFormat(Qt::PlainText);
    c.dfltText = Utf8(l->text());
    SetShortenedText(l, l->text());
    return true;
}

int SetTextMsg(Control &c, const QString &text) {
    SetShortenedText(As<QLabel>(c), text);
    return 0;
}

int GetTextMsg(const Control &c, std::string *text) {
    *text = Utf8(FullText(As<QLabel>(c)));
    return 0;
}

// ---- ring ------------------------------------------------------------------------------------

bool SetUpRing(Control &c, int panel) {
    auto *cb = qobject_cast<QComboBox *>(c.widget);
    if (!cb)
        return false;
    // Ring values run from 0 in list order as loaded.
    for (int i = 0; i < cb->count(); ++i)
        cb->setItemData(i, i);
    cb->setCurrentIndex(cb->count() > 0 ? 0 : -1);
    int id = c.id;
    QObject::connect(cb, &QComboBox::activated, cb, [panel, id](int) { FireCommit(panel, id); });
    return true;
}

int SelectRingIndex(QComboBox *cb, int index) {
    if (index < 0)
        return UIE_BAD_VALUE;
    cb->setCurrentIndex(index);
    return 0;
}

int SetRingValue(Control &c, int v) {
    auto *cb = As<QComboBox>(c);
    return SelectRingIndex(cb, cb->findData(v));
}

int SetRingLabel(Control &c, const QString &label) {
    auto *cb = As<QComboBox>(c);
    return SelectRingIndex(cb, cb->findText(label, Qt::MatchExactly));
}

int GetRingValue(const Control &c, int *v) {
    auto *cb = As<QComboBox>(c);
    if (cb->currentIndex() < 0)
        return UIE_BAD_INDEX;
    *v = cb->currentData().toInt();
    return 0;
}

int GetRingLabel(const Control &c, std::string *text) {
    auto *cb = As<QComboBox>(c);
    if (cb->currentIndex() < 0)
        return UIE_BAD_INDEX;
    *text = Utf8(cb->currentText());
    return 0;
}

const ListOps kRingList = {
    .count = [](const Control &c) { return As<QComboBox>(c)->count(); },
    .insert = [](Control &c, int index, const QString &label, int value) -> int {
        auto *cb = As<QComboBox>(c);
        int n = cb->count();
        if (index < -1 || index > n)
            return UIE_BAD_INDEX;
        int at = index == -1 ? n : index;
        cb->insertItem(at, label, value);
        return at;
    },
    .replace =
        [](Control &c, int index, const QString &label, int value) {
            As<QComboBox>(c)->setItemText(index, label);
            As<QComboBox>(c)->setItemData(index, value);
        },
    .remove =
        [](Control &c, int first, int end) {
            for (int i = end - 1; i >= first; --i)
                As<QComboBox>(c)->removeItem(i);
        },
    .clear = [](Control &c) { As<QComboBox>(c)->clear(); },
    .label = [](const Control &c, int index) { return As<QComboBox>(c)->itemText(index); },
    .value = [](const Control &c, int index) { return As<QComboBox>(c)->itemData(index).toInt(); },
    .active = [](const Control &c) { return As<QComboBox>(c)->currentIndex(); },
    .setActive = [](Control &c, int index) -> int {
        auto *cb = As<QComboBox>(c);
        if (index < 0 || index >= cb->count())
            return UIE_BAD_INDEX;
        cb->setCurrentIndex(index);
        return 0;
    },
};

// ---- tree, decoration ------------------------------------------------------------------------

bool SetUpTree(Control &c, int panel) {
    auto *t = qobject_cast<QTreeWidget *>(c.widget);
    if (!t)
        return false;
    ConnectTree(t, panel, c.id);
    return true;
}

bool SetUpDecoration(Control &c, int) {
    return qobject_cast<QFrame *>(c.widget) != nullptr;
}

// ---- the table -------------------------------------------------------------------------------

const Kind kKinds[] = {
    {.style = CTRL_PICTURE_BUTTON,
     .name = "picture button",
     .setUp = SetUpPictureButton,
     .label = LabelPlace::Own},
    {.style = CTRL_RADIO_BUTTON,
     .name = "radio button",
     .setUp = SetUpRadio,
     .label = LabelPlace::Own,
     .value = {.setInt = SetRadio, .getInt = GetRadio}},
    {.style = CTRL_NUMERIC,
     .name = "numeric",
     .setUp = SetUpNumeric,
     .dflt = Default::Number,
     .ranged = true,
     .setReadOnly = SpinReadOnly,
     .showRange = NumericRange,
     .value = {.setInt = SetNumeric, .getInt = GetNumeric, .getText = GetNumericText}},
    {.style = CTRL_PROGRESS_SLIDE,
     .name = "progress slide",
     .setUp = SetUpSlide,
     .dflt = Default::Number,
     .dataType = 4,
     .ranged = true,
     .noFocus = true,
     .showRange = ShowSlide,
     .value = {.setInt = SetSlideInt,
               .setDouble = SetSlideDouble,
               .getInt = GetSlideInt,
               .getDouble = GetSlideDouble}},
    {.style = CTRL_STRING,
     .name = "string",
     .setUp = SetUpString,
     .dflt = Default::Text,
     .dataType = 5,
     .setReadOnly = LineReadOnly,
     .keepsFocus = true,
     .value = TextValues(SetString, GetString)},
    {.style = CTRL_TEXT_MSG,
     .name = "text message",
     .setUp = SetUpTextMsg,
     .label = LabelPlace::None,
     .dflt = Default::Text,
     .dataType = 5,
     .noFocus = true,
     .value = TextValues(SetTextMsg, GetTextMsg)},
    {.style = CTRL_RING,
     .name = "ring",
     .setUp = SetUpRing,
     .dflt = Default::Item,
     .value = {.setInt = SetRingValue,
               .setText = SetRingLabel,
               .getInt = GetRingValue,
               .getText = GetRingLabel},
     .list = &kRingList},
    {.style = CTRL_DECORATION,
     .name = "decoration",
     .setUp = SetUpDecoration,
     .label = LabelPlace::None,
     .noFocus = true},
    {.style = CTRL_TREE, .name = "tree", .setUp = SetUpTree, .list = &kTreeList},
};

} // namespace

const Kind *FindKind(int style) {
    for (const Kind &k : kKinds)
        if (k.style == style)
            return &k;
    return nullptr;
}

std::vector<const Kind *> AllKinds() {
    std::vector<const Kind *> all;
    for (const Kind &k : kKinds)
        all.push_back(&k);
    return all;
}

} // namespace tk::detail
