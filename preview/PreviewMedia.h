#pragma once
// The media player of the preview window: a bar of Play, Pause and Stop buttons and a display
// surface for video. The player itself starts on first use; nothing plays until Play.
#include <QVideoFrame>
#include <QWidget>

class QAudioOutput;
class QMediaPlayer;
class QToolButton;

namespace corvane::preview {

// Paints the newest video frame, scaled into the surface with its proportions kept.
class TVideoSurface : public QWidget
{
    Q_OBJECT
public:
    explicit TVideoSurface(QWidget* parent = nullptr);
    void SetFrame(const QVideoFrame& frame);
    bool HasFrame() const { return m_frame.isValid(); }

protected:
    void paintEvent(QPaintEvent* e) override;

private:
    QVideoFrame m_frame;
};

class TMediaPlayer : public QWidget
{
    Q_OBJECT
public:
    // `display` is the panel that video is drawn into.
    TMediaPlayer(QWidget* display, QWidget* parent = nullptr);
    ~TMediaPlayer() override;

    // Opens the device for the file; a file that cannot be played leaves the player closed.
    void Open(const QString& path);
    // Stops what plays and closes the device.
    void Close();
    bool IsOpen() const;

    void Play();
    void Pause();
    void Stop();

    QToolButton* btnPlay;
    QToolButton* btnPause;
    QToolButton* btnStop;
    TVideoSurface* Surface;
    // None before the first media file.
    QMediaPlayer* Player() const { return m_player; }

private:
    void createPlayer();
    void enableButtons(bool open);

    QMediaPlayer* m_player = nullptr;
    QAudioOutput* m_audio = nullptr;
};

} // namespace corvane::preview
