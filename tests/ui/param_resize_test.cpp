#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QScrollBar>
#include <QWidget>

#include "ui/param_resize.h"
#include "ui/param_window.h"

namespace zart::ui {
namespace {

// Outer and inner size are the same here (no window frame), as on the
// offscreen platform; the bars are 255 twips thick.
ParamResizeInput Size(int width, int height) {
  ParamResizeInput in;
  in.outerWidth = in.innerWidth = width;
  in.outerHeight = in.innerHeight = height;
  return in;
}

TEST(FormResize, ClampsAndPlacesBars) {
  struct Case {
    const char* name;
    int width, height;
    bool resize;
    int outWidth, outHeight;
    bool vVisible;
    int vMaximum;
    bool hVisible;
    int hMaximum;
  };
  const Case cases[] = {
      // 27135 + 355 = 27490 is not above 27500: no horizontal bar.
      {"FullWidth", 27500, 10300, false, 27500, 10300, true, 425, false, 0},
      {"NarrowerByHundred", 27400, 10300, false, 27400, 10300, true, 425, true, 285},
      {"TooSmall", 5000, 3000, true, 7000, 4000, true, 6725, true, 20685},
      {"TooLarge", 30000, 12000, true, 27500, 10300, true, 425, false, 0},
      {"SmallestAllowed", 7000, 4000, false, 7000, 4000, true, 6725, true, 20685},
  };
  for (const Case& c : cases) {
    const ParamResizeLayout out = ParamFormResize(Size(c.width, c.height));
    EXPECT_EQ(out.resize, c.resize) << c.name;
    EXPECT_EQ(out.outerWidth, c.outWidth) << c.name;
    EXPECT_EQ(out.outerHeight, c.outHeight) << c.name;
    EXPECT_EQ(out.vVisible, c.vVisible) << c.name;
    if (c.vVisible) { EXPECT_EQ(out.vMaximum, c.vMaximum) << c.name; }
    EXPECT_EQ(out.hVisible, c.hVisible) << c.name;
    if (c.hVisible) { EXPECT_EQ(out.hMaximum, c.hMaximum) << c.name; }
  }
}

TEST(FormResize, HorizontalBarWithoutVerticalOneUsesTheWholeWidth) {
  ParamResizeInput in = Size(20000, 10300);
  in.frameHeight = 5000;  // short enough for no vertical bar
  const ParamResizeLayout out = ParamFormResize(in);
  EXPECT_FALSE(out.vVisible);
  ASSERT_TRUE(out.hVisible);
  EXPECT_EQ(out.hWidth, 20000);
  EXPECT_EQ(out.hMaximum, 27135 - 20000 + 350);
  EXPECT_EQ(out.hTop, 10300 - 255);
}

TEST(ParamWindowScroll, ScrollValueZeroPutsFrameFiveTwipsRightOfItsDesignPlaceAndTooSmallSnapsBack) {
  EXPECT_EQ(ParamFrameLeftForScroll(0), 125);
  EXPECT_EQ(ParamFrameTopForScroll(425), -425);

  ParamWindow window(nullptr, [] {});
  window.Form_Load();
  window.resize(window.Twips().Px(20000), window.Twips().Px(9000));
  window.show();
  QCoreApplication::processEvents();
  QScrollBar* h = window.HScroll1();
  QScrollBar* v = window.VScroll1();
  ASSERT_TRUE(h->isVisible());
  ASSERT_TRUE(v->isVisible());
  EXPECT_EQ(v->maximum(), 9975 - 9000 + 750);
  h->setValue(600);
  EXPECT_EQ(window.Panels().frm_prg->x(), window.Twips().Px(125 - 600));
  h->setValue(0);
  EXPECT_EQ(window.Panels().frm_prg->x(), window.Twips().Px(125));
  v->setValue(300);
  EXPECT_EQ(window.Panels().frm_prg->y(), window.Twips().Px(-300));

  window.setMinimumSize(0, 0);  // let the handler, not the size hints, do the clamping
  window.setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
  window.resize(window.Twips().Px(3000), window.Twips().Px(2000));
  QCoreApplication::processEvents();
  QCoreApplication::processEvents();
  // The limits hold for the outer size, frame and caption included.
  EXPECT_EQ(window.frameGeometry().width(), window.Twips().Px(7000));
  EXPECT_EQ(window.frameGeometry().height(), window.Twips().Px(4000));
}

}  // namespace
}  // namespace zart::ui
