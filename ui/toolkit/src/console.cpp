// The debug console: a plain text window the search log is written to.
#include <QApplication>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QPainter>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextBlock>
#include <QVBoxLayout>

#include <cstdarg>
#include <cstdio>
#include <vector>

#include "internal.h"

namespace tk {
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
        setWindowTitle(QStringLiteral("Debug console"));
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

struct ConsoleState {
    ConsoleView *view = nullptr;
    bool bringToFront = false;
    int maxLines = 0;
};

// The offscreen platform cannot stack windows and complains on every try.
void BringToFront(QWidget *w) {
    w->show();
    if (QGuiApplication::platformName() != QStringLiteral("offscreen") && !w->isActiveWindow())
        w->raise();
}

ConsoleState &C() {
    static ConsoleState s;
    return s;
}

ConsoleView *View() {
    if (!C().view && UIRuntimeReady()) {
        C().view = new ConsoleView;
        C().view->resize(600, 400);
    }
    return C().view;
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
        BringToFront(v);
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
    if (ConsoleView *v = View())
        v->resize(std::max(width, 100), std::max(height, 60));
}

void ConsoleSetPosition(int top, int left) {
    if (ConsoleView *v = View())
        v->move(left, top);
}

void ConsoleSetVisible(int visible) {
    ConsoleView *v = View();
    if (!v)
        return;
    if (visible)
        BringToFront(v);
    else
        v->hide();
}

bool ConsoleVisible() {
    return C().view && C().view->isVisible();
}
bool ConsoleLineNumbersShown() {
    return C().view && C().view->LineNumbers();
}
int ConsoleMaxLines() {
    return C().maxLines;
}

std::string ConsoleText() {
    if (!C().view)
        return {};
    return detail::Utf8(C().view->toPlainText());
}

} // namespace tk
