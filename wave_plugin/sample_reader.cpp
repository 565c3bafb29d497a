// The sample reader: whole frames into the host's buffer with one fread per call, and on the
// first call after a header read the hand-over of cue points, texts, regions and the play list
// into the records of the host's lists.
#include "wave_plugin.h"

#include <cstdlib>
#include <cstring>

#include "file_stream.h"
#include "key_index.h"

namespace {

namespace hm = host_marker;

// Fills one host marker from one cue.
void FillMarker(void* marker, const CueRecord& cue) {
    hm::SetStart(marker, cue.start);
    hm::SetType(marker, cue.markerType);
    if (cue.note[0] != '\0')
        hm::SetText(marker, hm::kNote, cue.note);
    if (cue.label[0] != '\0')
        hm::SetText(marker, hm::kLabel, cue.label);
    if (cue.markerType == kMarkerRegion) {
        if (cue.end > cue.start)
            hm::SetEnd(marker, cue.end);
        else
            hm::SetType(marker, kMarkerPlain);
    }
    if (hm::Type(marker) == kMarkerPlain)
        hm::SetPointFlag(marker, 1);
}

// The elements of a list, in order, in one array (null elements included); null when the
// memory cannot be had. count receives the number of elements.
void** Elements(const CPtrList& list, int* count) {
    int n = 0;
    for (POSITION pos = list.GetHeadPosition(); pos != nullptr; list.GetNext(pos))
        ++n;
    *count = n;
    void** elements = static_cast<void**>(std::malloc((n > 0 ? n : 1) * sizeof(void*)));
    if (elements == nullptr)
        return nullptr;
    int i = 0;
    for (POSITION pos = list.GetHeadPosition(); pos != nullptr;)
        elements[i++] = list.GetNext(pos);
    return elements;
}

} // namespace

void WavePlugin::HandOver() {
    if (hostMarkers != nullptr) {
        POSITION hostPos = hostMarkers->GetHeadPosition();
        POSITION cuePos = cues.GetHeadPosition();
        while (hostPos != nullptr && cuePos != nullptr) {
            void* marker = hostMarkers->GetNext(hostPos);
            CueRecord* cue = static_cast<CueRecord*>(cues.GetNext(cuePos));
            if (marker != nullptr && cue != nullptr)
                FillMarker(marker, *cue);
        }
    }
    cueCount = 0;
    if (playListCount > 0) {
        if (hostPlayList != nullptr)
            HandOverPlayList();
        playListCount = 0;
    }
}

// Every cue whose id matches a segment's makes the marker at its position a play-list marker,
// and the last such cue decides which marker the entry points at.
void WavePlugin::HandOverPlayList() {
    KeyPositions ids(cues, CueRecord::Key);
    int markerTotal = 0;
    void** markers = hostMarkers != nullptr ? Elements(*hostMarkers, &markerTotal) : nullptr;
    // The host's marker at a position of the cue list; without memory for the array, by search.
    auto markerAt = [&](int position) -> void* {
        if (markers != nullptr)
            return position < markerTotal ? markers[position] : nullptr;
        POSITION node = hostMarkers != nullptr ? hostMarkers->FindIndex(position) : nullptr;
        return node != nullptr ? hostMarkers->GetAt(node) : nullptr;
    };
    POSITION entryPos = hostPlayList->GetHeadPosition();
    POSITION segmentPos = playList.GetHeadPosition();
    while (entryPos != nullptr && segmentPos != nullptr) {
        void* entry = hostPlayList->GetNext(entryPos);
        PlayListRecord* segment = static_cast<PlayListRecord*>(playList.GetNext(segmentPos));
        if (entry == nullptr || segment == nullptr)
            continue;
        KeyPositions::Match last;
        if (!ids.Last(segment->cueId, &last))
            continue;
        if (ids.FirstVisit(segment->cueId))
            ids.ForEach(segment->cueId, [&](const KeyPositions::Match& match) {
                if (void* marker = markerAt(match.position))
                    hm::SetType(marker, kMarkerInPlayList);
            });
        host_play_list_entry::SetMarker(entry, markerAt(last.position));
    }
    std::free(markers);
}

std::int32_t WavePlugin::ReadSamples(void* buffer, std::int32_t bufferBytes) {
    if (cueCount > 0)
        HandOver();
    if (file == nullptr || buffer == nullptr || bufferBytes < 0)
        return 0;
    std::int64_t frameBytes = info.FrameBytes();
    if (frameBytes <= 0)
        return 0;
    std::int64_t wanted = bufferBytes / frameBytes;
    if (wanted > framesRemaining)
        wanted = framesRemaining;
    std::size_t got = 0;
    if (wanted > 0)
        got = std::fread(buffer, static_cast<std::size_t>(frameBytes),
                         static_cast<std::size_t>(wanted), file);
    if (info.frameCount > INT32_MAX) {
        // The host's field holds at most 2^31 - 1 frames; a longer recording is counted from
        // the stream's place in the data, so that every frame is delivered.
        const std::int64_t at = stream::Tell(file);
        if (at >= static_cast<std::int64_t>(dataOffset))
            SetFramesRemaining(info.frameCount - (at - dataOffset) / frameBytes);
        else
            SetFramesRemaining(0);
    } else {
        SetFramesRemaining(static_cast<std::int64_t>(framesRemaining) -
                           static_cast<std::int64_t>(got));
    }
    if (info.bitsPerSample == 8) {
        unsigned char* bytes = static_cast<unsigned char*>(buffer);
        std::size_t n = got * static_cast<std::size_t>(info.channels);
        for (std::size_t i = 0; i < n; ++i)
            bytes[i] ^= 0x80;
    }
    return static_cast<std::int32_t>(got);
}
