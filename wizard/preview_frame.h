#pragma once

#include <QGroupBox>
#include <functional>

#include "common/settings.h"
#include "wizard/form12a_controls.h"
#include "wizard/preview_lines.h"

class QLabel;
class QLineEdit;

namespace tallivo {

// The "Preview" frame: what polling would write, with the settings on the form, for a
// sample terminal line, every byte that cannot be seen shown by name. The sample line is
// the frame's own; it is not part of the configuration.
class PreviewFrame : public QGroupBox {
    Q_OBJECT

  public:
    explicit PreviewFrame(QWidget* parent = nullptr);

    // Asked at every refresh for the settings a save would write.
    void setSettingsSource(std::function<Settings()> source);
    // Any change of any value-holding control refreshes the preview at once; each
    // character list also keeps a tooltip naming its character.
    void watch(const Form12aControls& controls);
    void Refresh();

    const PreviewLines& lines() const { return lines_; }
    QLineEdit* sampleBox() const { return sample_; }
    QLabel* display() const { return display_; }

  private:
    std::function<Settings()> source_;
    PreviewLines lines_;
    QLabel* sampleCaption_ = nullptr;
    QLineEdit* sample_ = nullptr;
    QLabel* display_ = nullptr;
};

// The sample line the frame starts with.
inline constexpr const char* kPreviewSampleLine = "4006381333931;0005;A;B;01/02/2003;10:20";

}  // namespace tallivo
