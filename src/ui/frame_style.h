#pragma once
// The frames of the target editor drawn as a Windows frame is: the border runs
// through the middle of the caption, so a control placed one line below the
// frame's top (the 無効 box) lies inside it rather than across its border.
// And a check box indicator no taller than the 12-pixel check box placed
// there, so that it shows whole.
#include <QPainter>
#include <QProxyStyle>
#include <QStyleOption>
#include <algorithm>

class FrameStyle : public QProxyStyle {
  public:
    // Proxies the application's style, which it does not own.
    explicit FrameStyle(QObject* owner) { setParent(owner); }

    void drawComplexControl(ComplexControl control, const QStyleOptionComplex* option,
                            QPainter* painter, const QWidget* widget) const override {
        const auto* box = qstyleoption_cast<const QStyleOptionGroupBox*>(option);
        if (control != CC_GroupBox || !box || box->text.isEmpty()) {
            QProxyStyle::drawComplexControl(control, option, painter, widget);
            return;
        }
        const QRect caption = QProxyStyle::subControlRect(control, option, SC_GroupBoxLabel, widget)
                                  .translated(kCaptionIndent, 0);
        const QRectF border = QRectF(box->rect.adjusted(0, caption.center().y(), 0, 0))
                                  .adjusted(0.5, 0.5, -0.5, -0.5);
        painter->save();
        painter->setClipRegion(QRegion(box->rect) - caption.adjusted(-2, 0, 2, 0));
        painter->setRenderHint(QPainter::Antialiasing);
        painter->setPen(box->palette.color(QPalette::Mid));
        painter->setBrush(Qt::NoBrush);
        painter->drawRoundedRect(border, 2, 2);
        painter->restore();
        drawItemText(painter, caption, Qt::AlignLeft | Qt::AlignVCenter, box->palette,
                     box->state & State_Enabled, box->text, QPalette::WindowText);
    }

    int pixelMetric(PixelMetric metric, const QStyleOption* option,
                    const QWidget* widget) const override {
        const int base = QProxyStyle::pixelMetric(metric, option, widget);
        if (metric == PM_IndicatorHeight || metric == PM_IndicatorWidth)
            return std::min(base, kSmallIndicator);
        return base;
    }

    static constexpr int kSmallIndicator = 12;
    static constexpr int kCaptionIndent = 6;
};
