// The run's event, made without the heap.
#include "app/run_event.h"

#include "platform/platform.h"

namespace {

// Text in room of its own, cut where the room ends.
template <std::size_t Size>
class FixedText {
public:
    FixedText& operator<<(const char* text) {
        while (*text != 0 && length_ + 1 < Size) text_[length_++] = *text++;
        text_[length_] = 0;
        return *this;
    }
    FixedText& operator<<(int number) {
        char digits[12];
        int count = 0;
        unsigned value = number < 0 ? 0u - static_cast<unsigned>(number) : static_cast<unsigned>(number);
        do digits[count++] = static_cast<char>('0' + value % 10);
        while ((value /= 10) != 0);
        if (number < 0) *this << "-";
        char reversed[12];
        for (int i = 0; i < count; ++i) reversed[i] = digits[count - 1 - i];
        reversed[count] = 0;
        return *this << reversed;
    }
    const char* Text() const { return text_; }

private:
    char text_[Size] = {};
    std::size_t length_ = 0;
};

}  // namespace

void ReportRunEvent(int exitStatus, const char* product, const char* logPath) {
    if (platform::IsWindows95Family()) return;
    for (const RunEventKind& kind : kRunEventKinds) {
        if (kind.exitStatus != exitStatus) continue;
        FixedText<100> status;
        status << exitStatus << ": " << kind.meaning;
        // The first string is the one Windows' own message file shows: all of it.
        FixedText<390> summary;
        summary << "The uninstaller of " << product << " ended with exit status " << status.Text();
        if (*logPath != 0) summary << ". Log: " << logPath;
        const char* const strings[] = {summary.Text(), product, status.Text(), logPath};
        platform::WriteApplicationEvent(kEventSource,
                                        kind.error ? platform::EventType::Error : platform::EventType::Information,
                                        kind.id, strings, 4);
        return;
    }
}
