// The debug console: a plain text window the search log is written to,
// with buttons that copy the log and save it to a file. It keeps out of the
// user's way: it never takes the focus, output does not raise it, and it is
// placed beside the main window rather than over its menu bar.
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QFileDialog>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QMainWindow>
#include <QMenuBar>
#include <QMessageBox>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSaveFile>
#include <QScreen>
#include <QScrollBar>
#include <QTextBlock>
#include <QVBoxLayout>

#include <cstdarg>
#include <cstdio>
#include <vector>

#include "internal.h"
#include "toolkit/console_texts.h"

namespace tk {
using namespace detail;
namespace {

class ConsoleView;

class LineNumberGutter : public QWidget {
  public:
    explicit LineNumberGutter(ConsoleView *view);
    QSize sizeHint() const override;

  protected:
    void paintEvent(QPaintEvent *event) override;

  private:
    ConsoleView *view_;
};

class ConsoleView : public QPlainTextEdit {
  public:
    ConsoleView() : gutter_(new LineNumberGutter(this)) {
        setReadOnly(true);
        setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
        setLineWrapMode(QPlainTextEdit::NoWrap);
        connect(this, &QPlainTextEdit::blockCountChanged, this, [this](int) { UpdateMargins(); });
        connect(this, &QPlainTextEdit::updateRequest, this, [this](const QRect &rect, int dy) {
            if (dy)
                gutter_->scroll(0, dy);
            else
                gutter_->update(0, rect.y(), gutter_->width(), rect.height());
        });
        UpdateMargins();
    }

    void SetLineNumbers(bool on) {
        lineNumbers_ = on;
        gutter_->setVisible(on);
        UpdateMargins();
    }
    bool LineNumbers() const { return lineNumbers_; }

    int GutterWidth() const {
        if (!lineNumbers_)
            return 0;
        int digits = 1;
        for (int n = std::max(1, blockCount()); n >= 10; n /= 10)
            ++digits;
        return 8 + fontMetrics().horizontalAdvance(QLatin1Char('9')) * std::max(digits, 3);
    }

    void PaintGutter(QPaintEvent *event) {
        QPainter painter(gutter_);
        painter.fillRect(event->rect(), palette().color(QPalette::AlternateBase));
        painter.setPen(palette().color(QPalette::PlaceholderText));
        QTextBlock block = firstVisibleBlock();
        int number = block.blockNumber() + 1;
        int top = qRound(blockBoundingGeometry(block).translated(contentOffset()).top());
        int bottom = top + qRound(blockBoundingRect(block).height());
        while (block.isValid() && top <= event->rect().bottom()) {
            if (block.isVisible() && bottom >= event->rect().top())
                painter.drawText(0, top, gutter_->width() - 4, fontMetrics().height(),
                                 Qt::AlignRight, QString::number(number));
            block = block.next();
            top = bottom;
            bottom = top + qRound(blockBoundingRect(block).height());
            ++number;
        }
    }

  protected:
    void resizeEvent(QResizeEvent *e) override {
        QPlainTextEdit::resizeEvent(e);
        QRect cr = contentsRect();
        gutter_->setGeometry(QRect(cr.left(), cr.top(), GutterWidth(), cr.height()));
    }

  private:
    void UpdateMargins() {
        setViewportMargins(GutterWidth(), 0, 0, 0);
        QRect cr = contentsRect();
        gutter_->setGeometry(QRect(cr.left(), cr.top(), GutterWidth(), cr.height()));
    }

    LineNumberGutter *gutter_;
    bool lineNumbers_ = false;
};

LineNumberGutter::LineNumberGutter(ConsoleView *view) : QWidget(view), view_(view) {}
QSize LineNumberGutter::sizeHint() const {
    return QSize(view_->GutterWidth(), 0);
}
void LineNumberGutter::paintEvent(QPaintEvent *event) {
    view_->PaintGutter(event);
}

// The window around the text: the log, and a row with the copy and save
// buttons. The window's own close button hides it like the menu does.
class ConsoleWindow : public QWidget {
  public:
    ConsoleWindow() : view_(new ConsoleView) {
        setWindowTitle(QStr(UiTextOf(console_texts::kTitle)));
        setObjectName(QStringLiteral("DebugConsole"));
        // Shown and filled while the user works in the main window: it must
        // never take the keyboard from there.
        setAttribute(Qt::WA_ShowWithoutActivating);
        auto *layout = new QVBoxLayout(this);
        layout->setContentsMargins(4, 4, 4, 4);
        layout->setSpacing(4);
        layout->addWidget(view_, 1);
        auto *row = new QHBoxLayout;
        row->addStretch(1);
        copy_ = new QPushButton(QStr(UiTextOf(console_texts::kCopy)), this);
        copy_->setObjectName(QStringLiteral("CopyLog"));
        copy_->setToolTip(QStr(UiTextOf(console_texts::kCopyTip)));
        save_ = new QPushButton(QStr(UiTextOf(console_texts::kSave)), this);
        save_->setObjectName(QStringLiteral("SaveLog"));
        save_->setToolTip(QStr(UiTextOf(console_texts::kSaveTip)));
        row->addWidget(copy_);
        row->addWidget(save_);
        layout->addLayout(row);
        connect(copy_, &QPushButton::clicked, this, [] { ConsoleCopyLog(); });
        connect(save_, &QPushButton::clicked, this, [this] { AskAndSave(); });
    }
    ConsoleView *view() const { return view_; }

  protected:
    void closeEvent(QCloseEvent *event) override;

  private:
    void AskAndSave() {
        QString path = QFileDialog::getSaveFileName(this, QStr(UiTextOf(console_texts::kSaveTitle)),
                                                    QStringLiteral("corvintracer-log.txt"),
                                                    QStr(UiTextOf(console_texts::kFileTypes)));
        if (path.isEmpty())
            return;
        std::string error;
        if (ConsoleSaveLog(Utf8(path).c_str(), &error) != 0)
            MessagePopup(UiTextOf(console_texts::kSaveTitle), error.c_str());
    }

    ConsoleView *view_;
    QPushButton *copy_;
    QPushButton *save_;
};

struct ConsoleState {
    ConsoleWindow *window = nullptr;
    bool bringToFront = false;
    int maxLines = 0;
    void (*onClose)(void *) = nullptr;
    void *onCloseData = nullptr;
};

ConsoleState &C() {
    static ConsoleState s;
    return s;
}

void ConsoleWindow::closeEvent(QCloseEvent *event) {
    // Like a panel's close request: handled once no callback runs, so that
    // a search still writing to the console cannot bring it back at once.
    event->ignore();
    DeferUserEvent([] {
        if (!C().window || !C().window->isVisible())
            return;
        C().window->hide();
        if (C().onClose)
            C().onClose(C().onCloseData);
    });
}

// Output shows a hidden console, but never raises one that is shown or
// takes the focus: the user is busy in the main window.
void ShowQuietly(QWidget *w) {
    if (!w->isVisible())
        w->show();
}

ConsoleWindow *Window() {
    if (!C().window && UIRuntimeReady()) {
        C().window = new ConsoleWindow;
        C().window->resize(600, 400);
    }
    return C().window;
}

ConsoleView *View() {
    ConsoleWindow *w = Window();
    return w ? w->view() : nullptr;
}

// The frame around a window's contents, as the window system draws it; a
// window not yet shown borrows the frame of one that is.
QMargins FrameOf(const QWidget *w, const QWidget *shown) {
    const QWidget *ref = w->isVisible() ? w : shown;
    QRect frame = ref->frameGeometry(), inner = ref->geometry();
    return QMargins(inner.left() - frame.left(), inner.top() - frame.top(),
                    frame.right() - inner.right(), frame.bottom() - inner.bottom());
}

} // namespace

void ConsoleClear() {
    if (ConsoleView *v = View())
        v->clear();
}

void ConsolePrint(const char *text) {
    ConsoleView *v = View();
    if (!v || !text || !*text)
        return;
    // Insert at the end exactly as written: a text without "\n" continues
    // the current line.
    QScrollBar *sb = v->verticalScrollBar();
    bool atBottom = sb->value() >= sb->maximum() - 2;
    QTextCursor cursor(v->document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(QString::fromUtf8(text));
    if (atBottom)
        sb->setValue(sb->maximum());
    if (C().bringToFront)
        ShowQuietly(Window());
}

void ConsolePrintf(const char *format, ...) {
    if (!format)
        return;
    va_list ap;
    va_start(ap, format);
    va_list ap2;
    va_copy(ap2, ap);
    int n = std::vsnprintf(nullptr, 0, format, ap);
    va_end(ap);
    if (n < 0) {
        va_end(ap2);
        return;
    }
    std::vector<char> buf(static_cast<size_t>(n) + 1);
    std::vsnprintf(buf.data(), buf.size(), format, ap2);
    va_end(ap2);
    ConsolePrint(buf.data());
}

void ConsoleSetOptions(int maxLines, int bringToFrontOnOutput, int showLineNumbers) {
    ConsoleView *v = View();
    if (!v)
        return;
    C().maxLines = maxLines > 0 ? maxLines : 0;
    C().bringToFront = bringToFrontOnOutput != 0;
    // The limit drops the oldest lines once it is reached.
    v->setMaximumBlockCount(C().maxLines);
    v->SetLineNumbers(showLineNumbers != 0);
}

void ConsoleSetSize(int height, int width) {
    if (ConsoleWindow *w = Window())
        w->resize(std::max(width, 100), std::max(height, 60));
}

void ConsoleSetPosition(int top, int left) {
    if (ConsoleWindow *w = Window())
        w->move(left, top);
}

void ConsoleSetVisible(int visible) {
    ConsoleWindow *w = Window();
    if (!w)
        return;
    if (visible)
        ShowQuietly(w);
    else
        w->hide();
}

bool ConsoleVisible() {
    return C().window && C().window->isVisible();
}
bool ConsoleLineNumbersShown() {
    return C().window && C().window->view()->LineNumbers();
}
int ConsoleMaxLines() {
    return C().maxLines;
}

std::string ConsoleText() {
    if (!C().window)
        return {};
    return detail::Utf8(C().window->view()->toPlainText());
}

void ConsoleSetCloseCallback(void (*fn)(void *), void *data) {
    C().onClose = fn;
    C().onCloseData = data;
}

void ConsolePlaceBeside(int panel) {
    ConsoleWindow *w = Window();
    Panel *p = FindPanel(panel);
    if (!w || !p || !p->top)
        return;
    QWidget *main = p->top;
    QScreen *screen = main->screen() ? main->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect avail = screen->availableGeometry();
    const QRect beside = main->frameGeometry();
    const QMargins frame = FrameOf(w, main);
    const int gap = 8;
    // The narrowest console that still shows a log line worth reading.
    const int minWidth = 320;
    QSize size = w->size().grownBy(frame);

    // Room on each side of the main window, within its screen.
    const int right = avail.right() - beside.right() - gap;
    const int left = beside.left() - avail.left() - gap;
    const int below = avail.bottom() - beside.bottom() - gap;
    const int above = beside.top() - avail.top() - gap;
    auto fitTop = [&](int top) {
        return std::max(avail.top(), std::min(top, avail.bottom() + 1 - size.height()));
    };
    auto fitLeft = [&](int x) {
        return std::max(avail.left(), std::min(x, avail.right() + 1 - size.width()));
    };
    QPoint at;
    if (right >= size.width()) {
        at = QPoint(beside.right() + 1 + gap, fitTop(beside.top()));
    } else if (left >= size.width()) {
        at = QPoint(beside.left() - gap - size.width(), fitTop(beside.top()));
    } else if (below >= size.height()) {
        at = QPoint(fitLeft(beside.left()), beside.bottom() + 1 + gap);
    } else if (above >= size.height()) {
        at = QPoint(fitLeft(beside.left()), beside.top() - gap - size.height());
    } else if (std::max(right, left) >= minWidth) {
        // A narrower console beside the window rather than one over it.
        size.setWidth(std::max(right, left));
        at = QPoint(right >= left ? beside.right() + 1 + gap : avail.left(), fitTop(beside.top()));
    } else {
        // No side has room: at the screen's right edge, and below the main
        // window's menu bar, which stays reachable.
        int top = beside.top();
        if (auto *mw = qobject_cast<QMainWindow *>(main); mw && mw->menuWidget())
            top = mw->menuWidget()->mapToGlobal(QPoint(0, mw->menuWidget()->height())).y();
        at = QPoint(avail.right() + 1 - size.width(), std::max(avail.top(), top));
        size.setHeight(std::min(size.height(), avail.bottom() + 1 - at.y()));
    }
    w->resize(size.shrunkBy(frame));
    w->move(at);
}

int ConsoleSaveLog(const char *path, std::string *error) {
    std::string ignored;
    std::string &why = error ? *error : ignored;
    if (!path || !*path) {
        why = UiTextOf(console_texts::kNoFileName);
        return -1;
    }
    QSaveFile file(QString::fromUtf8(path));
    QByteArray text = QByteArray::fromStdString(ConsoleText());
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size() || !file.commit()) {
        why = std::string(path) + ": " + Utf8(file.errorString());
        return -1;
    }
    return 0;
}

void ConsoleCopyLog() {
    ClipboardPutText(ConsoleText().c_str());
}

} // namespace tk
