#pragma once
// How an animation's progress is paced: a cubic Bézier from (0, 0) to (1, 1) through two control
// points (the named curves are such Béziers), or a damped spring.
//
// The spring is a damped oscillator with the given damping ratio whose swing has died down (to
// 0.1 % of the distance) when the animation's time is up; it may overshoot 1 on the way.

namespace ca {

class MediaTimingFunction {
public:
    static MediaTimingFunction linear() { return {0, 0, 1, 1}; }
    static MediaTimingFunction easeIn() { return {0.42, 0, 1, 1}; }
    static MediaTimingFunction easeOut() { return {0, 0, 0.58, 1}; }
    static MediaTimingFunction easeInEaseOut() { return {0.42, 0, 0.58, 1}; }
    // The pacing an animation has when it names none of its own in a view animation.
    static MediaTimingFunction defaultFunction() { return {0.25, 0.1, 0.25, 1}; }
    static MediaTimingFunction controlPoints(double x1, double y1, double x2, double y2) { return {x1, y1, x2, y2}; }
    static MediaTimingFunction spring(double dampingRatio, double initialVelocity = 0);

    // Progress (0 to 1, or beyond for springs and overshooting curves) at time fraction x in [0, 1].
    double evaluate(double x) const;

    bool isSpring() const { return spring_; }
    double x1() const { return x1_; }
    double y1() const { return y1_; }
    double x2() const { return x2_; }
    double y2() const { return y2_; }
    bool operator==(const MediaTimingFunction&) const = default;

private:
    MediaTimingFunction(double x1, double y1, double x2, double y2) : x1_(x1), y1_(y1), x2_(x2), y2_(y2) {}

    double x1_, y1_, x2_, y2_;
    bool spring_ = false;
    double damping_ = 1;
    double velocity_ = 0;
};

} // namespace ca
