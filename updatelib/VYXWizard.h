// The white header band of a wizard page: etched frame and an optional thin colour gradient
// along its bottom edge.
#pragma once

#include <QColor>
#include <QWidget>

class QPainter;

namespace vyx {

class TVyxWizard : public QWidget {
    Q_OBJECT
    Q_PROPERTY(bool Gradient READ Gradient WRITE SetGradient)
    Q_PROPERTY(QColor GradientStart READ GradientStart WRITE SetGradientStart)
    Q_PROPERTY(QColor GradientEnd READ GradientEnd WRITE SetGradientEnd)
    Q_PROPERTY(int GraduientHeight READ GraduientHeight WRITE SetGraduientHeight)
public:
    explicit TVyxWizard(QWidget* parent = nullptr);

    bool Gradient() const { return gradient_; }
    QColor GradientStart() const { return gradientStart_; }
    QColor GradientEnd() const { return gradientEnd_; }
    int GraduientHeight() const { return graduientHeight_; }
    // Each setter repaints only when the value changes.
    void SetGradient(bool value);
    void SetGradientStart(const QColor& value);
    void SetGradientEnd(const QColor& value);
    void SetGraduientHeight(int value);

    // 63 bands from GradientStart to GradientEnd across rect, each over its full height.
    void DrawGradient(QPainter& canvas, const QRect& rect) const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    bool gradient_ = false;
    QColor gradientStart_;
    QColor gradientEnd_;
    int graduientHeight_ = 5;
};

}  // namespace vyx
