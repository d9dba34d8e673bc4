// Resizable panels: a control keeps its distance to the panel edges it is
// anchored to (the "anchor" property of the Designer data: letters l, r, t, b;
// none means left and top), so anchoring both opposite edges lets it grow.
// Texts that no longer fit are cut with "…" and shown whole as tooltip.
#include <QAbstractItemView>
#include <QEvent>
#include <QHeaderView>
#include <QHelpEvent>
#include <QLabel>
#include <QLineEdit>
#include <QToolTip>
#include <QTreeWidget>

#include "internal.h"

namespace tk::detail {
namespace {

enum Edge { kLeft = 1, kRight = 2, kTop = 4, kBottom = 8 };

constexpr char kAnchorProp[] = "tkAnchor";        // the edges, as flags
constexpr char kBaseProp[] = "tkBase";            // the geometry at the design size
constexpr char kDesignProp[] = "tkDesign";        // the panel's design size
constexpr char kFullProp[] = "tkFull";            // the whole text of a shortened one
constexpr char kOwnTipProp[] = "tkOwnTip";        // the tooltip is ours, not the program's
constexpr char kWatchedProp[] = "tkShortenWatch"; // the size watch is installed

// The whole text as tooltip while it is cut; a tooltip the program gave is
// left alone otherwise.
void TipWhenCut(QWidget *w, bool cut, const QString &full) {
    if (cut) {
        w->setToolTip(full);
        w->setProperty(kOwnTipProp, true);
    } else if (w->property(kOwnTipProp).toBool()) {
        w->setToolTip(QString());
        w->setProperty(kOwnTipProp, false);
    }
}

int ParseAnchor(const QString &s) {
    int flags = 0;
    for (QChar ch : s) {
        switch (ch.toLower().unicode()) {
        case 'l':
            flags |= kLeft;
            break;
        case 'r':
            flags |= kRight;
            break;
        case 't':
            flags |= kTop;
            break;
        case 'b':
            flags |= kBottom;
            break;
        default:
            break;
        }
    }
    if (!(flags & (kLeft | kRight)))
        flags |= kLeft;
    if (!(flags & (kTop | kBottom)))
        flags |= kTop;
    return flags;
}

// One axis: both edges stretch, the far edge alone moves, else nothing.
void Follow(int flags, int nearEdge, int farEdge, int delta, int *pos, int *length) {
    if ((flags & nearEdge) && (flags & farEdge))
        *length += delta;
    else if (flags & farEdge)
        *pos += delta;
}

// The window whose design size the widget's base geometry is measured in.
QWidget *DesignedWindow(QWidget *w) {
    for (QWidget *p = w; p; p = p->parentWidget())
        if (p->property(kDesignProp).isValid())
            return p;
    return nullptr;
}

QSize Growth(QWidget *top) {
    return top->size() - top->property(kDesignProp).toSize();
}

QRect Anchored(QRect base, int flags, QSize growth) {
    int x = base.x(), y = base.y(), w = base.width(), h = base.height();
    Follow(flags, kLeft, kRight, growth.width(), &x, &w);
    Follow(flags, kTop, kBottom, growth.height(), &y, &h);
    return QRect(x, y, std::max(0, w), std::max(0, h));
}

void Anchor(QWidget *w, int flags) {
    w->setProperty(kAnchorProp, flags);
    w->setProperty(kBaseProp, w->geometry());
}

// ---- shortened texts ----------------------------------------------------------------------

// What a mnemonic text reads as in a tooltip: "&&" is "&", a lone "&" nothing.
QString WithoutMnemonic(const QString &s) {
    QString out;
    for (qsizetype i = 0; i < s.size(); ++i) {
        if (s[i] == '&' && i + 1 < s.size())
            ++i;
        out += s[i];
    }
    return out;
}

QString Shortened(const QFontMetrics &fm, const QString &full, int width, bool mnemonic) {
    QString plain = mnemonic ? WithoutMnemonic(full) : full;
    if (fm.horizontalAdvance(plain) <= width)
        return full;
    return fm.elidedText(full, Qt::ElideRight, width, mnemonic ? Qt::TextShowMnemonic : 0);
}

void ShowShortened(QLabel *l) {
    QString full = l->property(kFullProp).toString();
    if (l->wordWrap()) {
        l->setText(full);
        return;
    }
    bool mnemonic = l->buddy() != nullptr;
    QString shown = Shortened(l->fontMetrics(), full, l->contentsRect().width(), mnemonic);
    l->setText(shown);
    TipWhenCut(l, shown != full, mnemonic ? WithoutMnemonic(full) : full);
}

// A read-only line shows its start and "…"; an editable one scrolls as usual.
void ShowShortened(QLineEdit *e) {
    QString full = e->property(kFullProp).toString();
    QString shown = full;
    if (e->isReadOnly()) {
        // The frame and the text margins take a few pixels on either side.
        int width = e->contentsRect().width() - 8;
        QMargins m = e->textMargins();
        shown = Shortened(e->fontMetrics(), full, width - m.left() - m.right(), false);
    }
    e->setText(shown);
    e->setCursorPosition(0);
    TipWhenCut(e, shown != full, full);
}

// A label or line whose text is kept whole, shown again for its size now.
void ShowShortenedAgain(QObject *o) {
    if (!o->property(kFullProp).isValid())
        return;
    if (auto *l = qobject_cast<QLabel *>(o))
        ShowShortened(l);
    else if (auto *e = qobject_cast<QLineEdit *>(o))
        ShowShortened(e);
}

class ShortenFilter : public QObject {
  public:
    using QObject::QObject;
    bool eventFilter(QObject *obj, QEvent *ev) override {
        if (ev->type() == QEvent::Resize || ev->type() == QEvent::FontChange)
            ShowShortenedAgain(obj);
        return QObject::eventFilter(obj, ev);
    }
};

void ApplyAnchors(QWidget *top) {
    QSize growth = Growth(top);
    for (QWidget *w : top->findChildren<QWidget *>()) {
        QVariant flags = w->property(kAnchorProp);
        if (!flags.isValid())
            continue;
        w->setGeometry(Anchored(w->property(kBaseProp).toRect(), flags.toInt(), growth));
        // A hidden window's controls hear of their new size only when shown.
        ShowShortenedAgain(w);
    }
}

class ResizeFilter : public QObject {
  public:
    using QObject::QObject;
    bool eventFilter(QObject *obj, QEvent *ev) override {
        if (ev->type() == QEvent::Resize && obj == parent())
            ApplyAnchors(static_cast<QWidget *>(obj));
        return QObject::eventFilter(obj, ev);
    }
};

void WatchSize(QWidget *w) {
    // The filters have no meta-object of their own, so a flag says it is there.
    if (w->property(kWatchedProp).toBool())
        return;
    w->setProperty(kWatchedProp, true);
    w->installEventFilter(new ShortenFilter(w));
}

// Tree items are cut by the view itself; their tooltip says the rest.
class TreeTipFilter : public QObject {
  public:
    TreeTipFilter(QTreeWidget *tree) : QObject(tree), tree_(tree) {}
    bool eventFilter(QObject *obj, QEvent *ev) override {
        if (ev->type() != QEvent::ToolTip || obj != tree_->viewport())
            return QObject::eventFilter(obj, ev);
        auto *help = static_cast<QHelpEvent *>(ev);
        QTreeWidgetItem *item = tree_->itemAt(help->pos());
        int column = tree_->columnAt(help->pos().x());
        if (!item || column < 0 || !item->toolTip(column).isEmpty())
            return QObject::eventFilter(obj, ev);
        QModelIndex index = tree_->indexFromItem(item, column);
        QRect cell = tree_->visualRect(index);
        int need = tree_->fontMetrics().horizontalAdvance(item->text(column));
        if (!item->icon(column).isNull())
            need += tree_->iconSize().width() + 4;
        // The cell also holds the item's margins.
        if (need + 8 > cell.width())
            QToolTip::showText(help->globalPos(), item->text(column), tree_->viewport(), cell);
        else
            QToolTip::hideText();
        return true;
    }

  private:
    QTreeWidget *tree_;
};

} // namespace

void MakeResizable(Panel &p) {
    QWidget *top = p.top;
    QSize design = top->size();
    top->setProperty(kDesignProp, design);
    // Dialogs keep their size; a panel marked resizable grows.
    if (top->property("resizable").toBool())
        top->setMinimumSize(design);
    else
        top->setFixedSize(design);
    for (QWidget *w : top->findChildren<QWidget *>()) {
        QVariant anchor = w->property("anchor");
        if (anchor.isValid())
            Anchor(w, ParseAnchor(anchor.toString()));
    }
    // A label without an anchor of its own goes along with its control.
    for (QLabel *l : top->findChildren<QLabel *>())
        if (!l->property(kAnchorProp).isValid() && l->buddy())
            AnchorLike(l, l->buddy());
    for (QTreeWidget *t : top->findChildren<QTreeWidget *>()) {
        t->setTextElideMode(Qt::ElideRight);
        t->viewport()->installEventFilter(new TreeTipFilter(t));
    }
    top->installEventFilter(new ResizeFilter(top));
}

void FollowPanelSize(QWidget *top) {
    if (top->property(kDesignProp).isValid())
        ApplyAnchors(top);
}

void RebaseGeometry(QWidget *w) {
    QVariant flags = w->property(kAnchorProp);
    QWidget *top = DesignedWindow(w);
    if (!flags.isValid() || !top)
        return;
    // The inverse of Anchored: the geometry it would have at the design size.
    QSize growth = Growth(top);
    w->setProperty(kBaseProp, Anchored(w->geometry(), flags.toInt(),
                                       QSize(-growth.width(), -growth.height())));
}

// As wide as the control may grow, and on its top edge or, when the control
// keeps to the bottom only, on its bottom edge.
void AnchorLike(QWidget *label, QWidget *control) {
    QVariant flags = control->property(kAnchorProp);
    if (!flags.isValid())
        return;
    int f = flags.toInt() & (kLeft | kRight);
    f |= (flags.toInt() & kTop) ? kTop : kBottom;
    label->setProperty(kAnchorProp, f);
    RebaseGeometry(label);
}

void SetShortenedText(QLabel *l, const QString &text) {
    l->setProperty(kFullProp, text);
    WatchSize(l);
    ShowShortened(l);
}

void SetShortenedText(QLineEdit *e, const QString &text) {
    e->setProperty(kFullProp, text);
    WatchSize(e);
    ShowShortened(e);
}

QString FullText(const QLabel *l) {
    QVariant full = l->property(kFullProp);
    return full.isValid() ? full.toString() : l->text();
}

// What the user typed counts while the line is editable.
QString FullText(const QLineEdit *e) {
    QVariant full = e->property(kFullProp);
    return full.isValid() && e->isReadOnly() ? full.toString() : e->text();
}

} // namespace tk::detail
