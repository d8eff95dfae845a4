#pragma once

#include <QBrush>
#include <QFont>
#include <QLabel>
#include <cstdint>

namespace corvanetov {

// A static text with its own font, text colour and background. The forms set
// a whole style in one chained call (size, bold, colours, italic), so every
// setter returns the label.
class CLabel : public QLabel {
    Q_OBJECT
public:
    explicit CLabel(QWidget* parent = nullptr);

    CLabel& SetText(const QString& text);
    // Colours are 0x00BBGGRR.
    CLabel& SetTextColor(uint32_t colorRef);
    CLabel& SetFontSize(int size);
    CLabel& SetFontBold(bool bold);
    CLabel& SetFontItalic(bool italic);
    // Takes effect with the next repaint; the setters that follow it in a
    // chain repaint.
    CLabel& SetBkColor(uint32_t colorRef);
    // For texts that can be longer than any screen, such as a file's path:
    // drawn shortened in the middle to the label's width, whole in its tool
    // tip, and never widening the window. text() stays whole.
    CLabel& SetElideMiddle(bool elide);

    QSize minimumSizeHint() const override;
    QSize sizeHint() const override;

    uint32_t TextColor() const { return m_textColor; }
    QColor BkColor() const { return m_bkBrush.color(); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void RebuildFont();
    void Repaint();

    void PaintElided();

    bool m_elideMiddle = false;
    uint32_t m_textColor;
    QBrush m_bkBrush;
    // The font description the font is rebuilt from: a copy of the
    // application's default font, so a style never inherits a parent's.
    QFont m_logFont;
};

} // namespace corvanetov
