#pragma once
#include <QByteArray>
#include <QColor>
#include <QWidget>
#include <functional>
#include <map>
#include <vector>

#include "measure/trendseries.h"

class Clock;
class LinkTimer;
class QChart;
class QChartView;
class QCheckBox;
class QComboBox;
class QDateTimeAxis;
class QLineSeries;
class QListWidget;
class QListWidgetItem;
class QPushButton;
class QValueAxis;

// "Тренды": the chosen measured parameters over the last 1, 10 or 60 minutes. Blocks are
// stored as they arrive; the chart is redrawn on a timer, never per block, from the history
// decimated to the plot's pixel width.
class TrendWindow : public QWidget {
    Q_OBJECT
  public:
    // `clock` stamps every block and drives the redraw timer; it must outlive the window.
    explicit TrendWindow(Clock* clock, QWidget* parent = nullptr);
    ~TrendWindow() override;

    static constexpr int kRedrawIntervalMs = 200;

    const TrendSeries& history() const { return history_; }
    QChart* chart() const;
    QChartView* chartView() const { return view_; }
    // The parameters drawn, in catalogue order.
    std::vector<int> chosenParameters() const;
    void setParameterChosen(int parameter, bool chosen);

    // Asks for the file "Сохранить PNG…" writes to; empty means the operator cancelled.
    using FileChooser = std::function<QString(QWidget* parent)>;
    void setFileChooser(FileChooser chooser) { chooseFile_ = std::move(chooser); }
    // Writes the chart as PNG; on failure the operator is told why and false comes back.
    bool savePng(const QString& path);

  public slots:
    // The 116-byte data area of a measured-block reply; a shorter block is ignored.
    void addMeasuredBlock(const QByteArray& block);
    // Returns to the live view: follows the newest time, autoscale as ticked, not paused.
    void resetView();
    void redraw();

  private:
    struct Plot {
        QColor color;
        std::vector<QLineSeries*> segments;  // one per unbroken stretch of the line
    };

    void onTick();
    void onPauseToggled(bool paused);
    void onAxisXChanged();
    void onAxisYChanged();
    void onSaveClicked();
    void syncPlots();
    void drawPlot(int parameter, Plot& plot, const std::vector<TrendPoint>& line);
    QLineSeries* addSegment(int parameter, Plot& plot);
    qint64 spanMs() const;
    QString seriesName(int parameter) const;

    Clock* clock_;
    LinkTimer* timer_;
    TrendSeries history_;

    QListWidget* ListParameters;
    QComboBox* ComboSpan;
    QCheckBox* CheckAutoscale;
    QPushButton* ButtonPause;
    QPushButton* ButtonReset;
    QPushButton* ButtonSavePng;
    QChartView* view_;
    QDateTimeAxis* axisX_;
    QValueAxis* axisY_;

    std::map<int, Plot> plots_;
    FileChooser chooseFile_;

    bool newData_ = false;
    bool applying_ = false;  // axis changes made by redraw, not by the operator
    bool manualX_ = false;   // zoomed or panned in time, or paused: the window stays put
    bool manualY_ = false;   // zoomed or panned in value: autoscale stands aside
    qint64 viewT0_ = 0;
    qint64 viewT1_ = 0;
};
