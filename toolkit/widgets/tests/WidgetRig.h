#pragma once
// What the widget tests share: a renderer that records every call instead of
// drawing, and a widget that draws one picture of its own.

#include "toolkit/render/backbuffer.h"
#include "toolkit/render/picture.h"
#include "toolkit/render/render.h"
#include "toolkit/widgets/widget.h"

#include "platform/base/Utf.h"

#include <memory>
#include <string>
#include <vector>

namespace test {

// A surface the recording renderer hands out, known by a number.
class RecordedBuffer : public RenderEngine::backbuffer {
public:
    RecordedBuffer(unsigned width, unsigned height, int number) : backbuffer(width, height), number(number) {}
    int number;
};

struct Op {
    std::string what;      // "clear", "picture", "buffer" or "text"
    std::string source;    // the swatch's name, "buffer N", or the text
    std::string target;    // "screen" or "buffer N"
    UI::frect rect;
    float alpha;
    UI::frect clip;        // the target's clip when the call came
};

class RecordingRender : public RenderEngine::render {
public:
    std::vector<Op> ops;

    RenderEngine::backbuffer* CreateBackBuffer(unsigned width, unsigned height, bool) override
    {
        return new RecordedBuffer(width, height, ++m_made);
    }
    int DrawBackBuffer(RenderEngine::backbuffer* source, float x, float y, float width, float height, float alpha,
                       RenderEngine::backbuffer* target) override
    {
        if (source == nullptr) return -1;
        record("buffer", name_of(source), target, {x, y, width, height}, alpha);
        return 0;
    }
    int DrawPicture(RenderEngine::picture* pic, float x, float y, float width, float height, float alpha,
                    RenderEngine::backbuffer* target) override
    {
        record("picture", pic->GetName(), target, {x, y, width, height}, alpha);
        return 0;
    }
    int DrawText(const WCHAR* text, float x, float y, float width, float height, RenderEngine::fontstyle*,
                 RenderEngine::backbuffer* target) override
    {
        record("text", plat::utf16_to_utf8(text), target, {x, y, width, height}, 1);
        return 0;
    }
    int BeginFrame() override { return 0; }
    int EndFrame() override { return 0; }
    int BeginSwapChainFrame() override { return 0; }
    int PresentToWindow(HWND, RenderEngine::backbuffer*) override { return 0; }
    int SetClipRect(float, float, float, float) override { return 0; }
    int ClearRect(RenderEngine::backbuffer*, float, float, float, float, float, float, float, float) override { return 0; }
    int Clear(RenderEngine::backbuffer* target, float, float red, float green, float blue) override
    {
        record("clear", "", target, {red, green, blue, 0}, 1);
        return 0;
    }

    static std::string name_of(const RenderEngine::backbuffer* b)
    {
        auto* recorded = dynamic_cast<const RecordedBuffer*>(b);
        return recorded ? "buffer " + std::to_string(recorded->number) : "screen";
    }
    std::vector<std::string> sources() const
    {
        std::vector<std::string> out;
        for (const Op& op : ops) out.push_back(op.what + " " + op.source + " -> " + op.target);
        return out;
    }

private:
    void record(const char* what, std::string source, RenderEngine::backbuffer* target, UI::frect rect, float alpha)
    {
        ops.push_back({what, std::move(source), name_of(target), rect, alpha,
                       target ? target->GetClip() : UI::frect{0, 0, 0, 0}});
    }
    int m_made{0};
};

// Installs a recording renderer for one test and removes it after.
struct RecordingScene {
    RecordingRender* render;
    RecordingScene()
    {
        auto made = std::make_unique<RecordingRender>();
        render = made.get();
        RenderEngine::SetRender(std::move(made));
        RenderEngine::InitRenderTargets();
    }
    ~RecordingScene()
    {
        RenderEngine::SetRender(nullptr);
        RenderEngine::InitRenderTargets();
    }
};

// A widget that draws one picture (its own, named after it, unless given one)
// at its draw position and alpha.
class Swatch : public UI::widget {
public:
    explicit Swatch(std::string name, RenderEngine::picture* pic = nullptr)
        : widget(name), m_own(0, std::move(name)), m_pic(pic ? pic : &m_own)
    {
    }
    void Draw() override
    {
        const UI::fpoint at = GetDrawOrigin();
        RenderEngine::DrawPicture(m_pic, at.x, at.y, GetWidth(), GetHeight(), GetAlpha() / 255.0f);
        widget::Draw();
    }

private:
    RenderEngine::picture m_own;
    RenderEngine::picture* m_pic;
};

}
