#include "platform/gdi/GdiSurface.h"

#include "platform/gdi/GdiPixels.h"
#include "platform/gdi/SharpCopy.h"

#include <QFontMetrics>
#include <QPainter>

#include <algorithm>
#include <vector>

namespace velmora::gdi {

namespace {

struct Cell {
    QChar ch;
    bool prefixed = false; // shown underlined: it followed a single "&"
};

struct Line {
    QString text;
    int underline = -1; // index into text, or -1
    int width = 0;
};

// Resolves the access-key prefixes: "&&" is one "&", "&x" is x marked; a "&" that is the very
// last character stays as it is, since nothing follows it to mark.
std::vector<Cell> toCells(const QString& text, unsigned format) {
    std::vector<Cell> cells;
    cells.reserve(static_cast<std::size_t>(text.size()));
    const bool prefixes = !(format & DT_NOPREFIX);
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (prefixes && text[i] == u'&' && i + 1 < text.size()) {
            ++i;
            cells.push_back(Cell{text[i], text[i] != u'&'});
            continue;
        }
        cells.push_back(Cell{text[i], false});
    }
    return cells;
}

class Layout {
  public:
    Layout(const QFontMetrics& metrics, unsigned format) : m_metrics(metrics), m_format(format) {}

    Line makeLine(const std::vector<Cell>& cells, std::size_t begin, std::size_t end) const {
        Line line;
        for (std::size_t i = begin; i < end; ++i) {
            if (cells[i].prefixed && !(m_format & DT_HIDEPREFIX))
                line.underline = static_cast<int>(line.text.size()); // the last one counts
            line.text.append(cells[i].ch);
        }
        line.width = m_metrics.horizontalAdvance(line.text);
        return line;
    }

    // Greedy breaking between words: a line takes words while its text, without the spaces
    // at the break, fits the width; the spaces at a break are dropped, and a word wider than
    // the whole width gets a line of its own. Widths are summed per run of spaces or letters
    // (without kerning nothing joins across a space), so a long caption costs linear time.
    void wrapParagraph(const std::vector<Cell>& cells, std::size_t begin, std::size_t end,
                       int available, std::vector<Line>& out) const {
        if (!(m_format & DT_WORDBREAK) || begin == end) {
            out.push_back(makeLine(cells, begin, end));
            return;
        }
        struct Run {
            std::size_t begin, end;
            bool spaces;
            long long width;
        };
        std::vector<Run> runs;
        for (std::size_t i = begin; i < end;) {
            const bool spaces = cells[i].ch == u' ';
            std::size_t j = i;
            QString text;
            while (j < end && (cells[j].ch == u' ') == spaces)
                text.append(cells[j++].ch);
            runs.push_back(Run{i, j, spaces, m_metrics.horizontalAdvance(text)});
            i = j;
        }
        std::size_t first = 0;
        while (first < runs.size()) {
            std::size_t next = first;
            long long width = 0;
            while (next < runs.size()) {
                std::size_t j = next;
                long long w = width;
                if (runs[j].spaces)
                    w += runs[j++].width;
                if (j < runs.size())
                    w += runs[j++].width;
                if (next != first && w > available)
                    break;
                width = w;
                next = j;
            }
            if (next >= runs.size()) {
                out.push_back(makeLine(cells, runs[first].begin, end));
                return;
            }
            out.push_back(makeLine(cells, runs[first].begin, runs[next - 1].end));
            first = next;
            if (first < runs.size() && runs[first].spaces)
                ++first;
        }
    }

    std::vector<Line> lines(const std::vector<Cell>& cells, int available) const {
        std::vector<Line> out;
        if (m_format & DT_SINGLELINE) {
            std::vector<Cell> flat = cells;
            for (Cell& c : flat)
                if (c.ch == u'\r' || c.ch == u'\n')
                    c.ch = u' ';
            out.push_back(makeLine(flat, 0, flat.size()));
            return out;
        }
        std::size_t start = 0;
        for (std::size_t i = 0; i <= cells.size(); ++i) {
            if (i < cells.size() && cells[i].ch != u'\n')
                continue;
            std::size_t end = i;
            if (end > start && cells[end - 1].ch == u'\r')
                --end;
            wrapParagraph(cells, start, end, available, out);
            start = i + 1;
        }
        return out;
    }

  private:
    const QFontMetrics& m_metrics;
    unsigned m_format;
};

} // namespace

int DrawTextExA(Dc& dc, const QString& text, int count, Rect* rect, unsigned format,
                DrawTextParams* params) {
    if (!rect)
        return 0;
    const QString shown = count < 0 ? text : text.left(count);
    const int leftMargin = params ? params->iLeftMargin : 0;
    const int rightMargin = params ? params->iRightMargin : 0;
    if (params)
        params->uiLengthDrawn = static_cast<unsigned>(shown.size());

    // Bitmap-like glyphs: no smoothing, so every pixel is either text colour or untouched;
    // and no kerning, so a line is as wide as its characters add up to.
    QFont font = dc.font();
    font.setStyleStrategy(QFont::NoAntialias);
    font.setKerning(false);
    const QFontMetrics metrics(font);
    const int lineHeight = metrics.ascent() + metrics.descent();

    if (shown.isEmpty() && !(format & DT_CALCRECT))
        return 0;

    const int available = rect->width() - leftMargin - rightMargin;
    const Layout layout(metrics, format);
    const std::vector<Line> lines = layout.lines(toCells(shown, format), available);
    const int textHeight = lineHeight * static_cast<int>(lines.size());

    if (format & DT_CALCRECT) {
        int widest = 0;
        for (const Line& line : lines)
            widest = std::max(widest, line.width);
        // A rectangle narrower than the widest word grows; a wider one shrinks to the text.
        rect->right = rect->left + widest + leftMargin + rightMargin;
        rect->bottom = rect->top + textHeight;
        return textHeight;
    }

    QImage* image = dc.surface();
    if (!image)
        return 0;

    int y = rect->top;
    if (format & DT_SINGLELINE) {
        if (format & DT_VCENTER)
            y = rect->top + (rect->height() - lineHeight) / 2;
        else if (format & DT_BOTTOM)
            y = rect->bottom - lineHeight;
    }

    const QColor textColour = toQColor(dc.textColor());
    const QColor backColour = toQColor(dc.bkColor());
    const bool opaque = dc.bkMode() == OPAQUE;
    const QRect clip = rect->toQRect();
    QRect drawn; // what the lines cover, for the sharp copy
    const auto paintLines = [&](QPainter& painter) {
        painter.setFont(font);
        if (!(format & DT_NOCLIP))
            painter.setClipRect(clip);
        int lineTop = y;
        for (const Line& line : lines) {
            int x = rect->left + leftMargin;
            if (format & DT_CENTER)
                x = (rect->left + leftMargin + rect->right - rightMargin - line.width) / 2;
            else if (format & DT_RIGHT)
                x = rect->right - rightMargin - line.width;
            const QRect box(x, lineTop, line.width, lineHeight);
            drawn |= box;
            if (opaque)
                painter.fillRect(box, backColour);
            painter.setPen(textColour);
            if (!(format & DT_PREFIXONLY)) // that flag draws the access-key underline alone
                painter.drawText(QPoint(x, lineTop + metrics.ascent()), line.text);
            if (line.underline >= 0 && line.underline < line.text.size()) {
                const int ux = x + metrics.horizontalAdvance(line.text.left(line.underline));
                const int uw = metrics.horizontalAdvance(line.text.at(line.underline));
                painter.fillRect(QRect(ux, lineTop + metrics.ascent() + 1, uw, 1), textColour);
            }
            lineTop += lineHeight;
        }
    };

    // Whatever was drawn before the text is brought over first, so the text lands on it.
    SharpCopy* sharp = dc.isMemory() ? nullptr : dc.sharpCopy();
    QImage* sharpImage = sharp && sharp->active() ? &sharp->beginText() : nullptr;

    QPainter painter(image);
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setRenderHint(QPainter::TextAntialiasing, false);
    paintLines(painter);
    painter.end();

    if (sharpImage) {
        // At the screen's resolution the glyphs are smoothed like the rest of the window's text.
        font.setStyleStrategy(QFont::PreferDefault);
        QPainter sharpPainter(sharpImage);
        paintLines(sharpPainter);
        sharpPainter.end();
        // Smoothed glyphs may reach a pixel past their advance.
        const QRect reach = drawn.adjusted(-2, -1, 2, 1);
        sharp->textDrawn((format & DT_NOCLIP) ? reach : reach & clip);
    }

    if (dc.isMonochrome()) {
        // Snap whatever the text left behind back to black and white.
        const QRect area = rect->toQRect().intersected(image->rect());
        for (int py = area.top(); py <= area.bottom(); ++py) {
            QRgb* row = pixels::line(*image, py);
            for (int px = area.left(); px <= area.right(); ++px)
                row[px] = pixels::storedValue(fromQRgb(row[px]), true);
        }
    }
    return textHeight;
}

} // namespace velmora::gdi
