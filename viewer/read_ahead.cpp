#include "viewer/read_ahead.h"

#include "viewer/picture.h"

namespace viewer {

namespace {
// Decodes into a display bitmap until the read is given up.
class ReadSink : public DisplaySink {
 public:
  explicit ReadSink(const std::atomic<bool>& cancel) : cancel_(cancel) {}
  bool Cancelled() const override { return cancel_.load(); }

 private:
  const std::atomic<bool>& cancel_;
};
}  // namespace

int ReadAhead::Entry() const { return read_ ? read_->index : -1; }

void ReadAhead::Start(int index, const std::string& path, Rgb background) {
  if (read_ && read_->index == index && read_->path == path) return;
  Clear();
  auto read = std::make_shared<Read>();
  read->index = index;
  read->path = path;
  read->background = background;
  read_ = read;
  // The work sees nothing but its Read: the file, the decoder and the
  // picture it makes. Its end comes back as a posted message (done).
  task_ = std::make_unique<tk::Task>(
      [read] {
        ReadSink sink(read->cancel);
        try {
          LoadPicture(read->path, sink, read->background);
          if (!read->cancel.load()) read->picture = std::move(sink.picture);
        } catch (...) {
          // Failed or given up: what was decoded goes with the sink.
        }
      },
      [this, read] {
        if (read == read_) ready_ = std::move(read->picture);
      });
}

std::unique_ptr<tk::Picture> ReadAhead::Take(int index, const std::string& path) {
  std::unique_ptr<tk::Picture> picture;
  if (read_ && read_->index == index && read_->path == path) {
    task_->Wait();  // the thread has ended, and done has run
    picture = std::move(ready_);
  }
  Clear();
  return picture;
}

void ReadAhead::Clear() {
  if (task_) {
    read_->cancel = true;
    task_->Wait();
    task_.reset();
  }
  // The thread has ended: what it made goes now, not with its message.
  if (read_) read_->picture.reset();
  read_.reset();
  ready_.reset();
}

}  // namespace viewer
