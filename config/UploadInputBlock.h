#pragma once
// The block of all user input while a configuration dialog uploads.

// For its lifetime, keeps every user input event (keys, mouse, wheel, touch, context menus,
// close requests) away from every window of the application. Input the window system held
// back meanwhile must be delivered (and so swallowed) before it ends: see Flush.
class UploadInputBlock {
public:
    UploadInputBlock();
    ~UploadInputBlock();
    UploadInputBlock(const UploadInputBlock&) = delete;
    UploadInputBlock& operator=(const UploadInputBlock&) = delete;

    // Delivers whatever input is still queued, into the block.
    void Flush();
    // Input events swallowed so far.
    int swallowed() const;

private:
    class Filter;
    Filter* filter_;
};
