// The movie definition; see Definition_Movie.h.
#include "engine/scene/definitions/Definition_Movie.h"

#include "engine/core/text/TextHelpers.h"
#include "engine/core/xml/XmlNode.h"
#include "engine/graphics/text/FontManager.h"
#include "engine/scene/definitions/DefinitionMap.h"
#include "engine/scene/definitions/DefinitionValues.h"
#include "engine/scene/definitions/InstanceSetup.h"
#include "engine/scene/display/movie/Instance_Movie.h"
#include "engine/scene/ui/UserInterface.h"

#include <algorithm>

namespace TarnEngine
{

namespace
{

// Attribute and element names, made once: the loader asks for them for every element.
struct Names
{
    const std::wstring length = L"length";
    const std::wstring fps = L"fps";
    const std::wstring label = L"Label";
    const std::wstring event = L"Event";
    const std::wstring instance = L"Instance";
    const std::wstring frameElement = L"Frame";
    const std::wstring name = L"name";
    const std::wstring frame = L"frame";
    const std::wstring type = L"type";
    const std::wstring targetFrame = L"targetframe";
    const std::wstring instanceName = L"instancename";
    const std::wstring depth = L"depth";
    const std::wstring create = L"create";
    const std::wstring death = L"death";
    const std::wstring regX = L"regx";
    const std::wstring regY = L"regy";
    const std::wstring userData = L"userdata";
    const std::wstring definition = L"definition";
    const std::wstring text = L"text";
    const std::wstring face = L"face";
    const std::wstring size = L"size";
    const std::wstring color = L"color";
    const std::wstring align = L"align";
    const std::wstring valign = L"valign";
    const std::wstring width = L"width";
    const std::wstring height = L"height";
    const std::wstring bold = L"bold";
    const std::wstring lineSpace = L"interlinespace";
    const std::wstring gamma = L"gamma";
    const std::wstring alpha = L"alpha";
    const std::wstring transform = L"transform";
    const std::wstring tween = L"isTween";
};

const Names& names()
{
    static const Names table;
    return table;
}

// Present and not empty.
const std::wstring* filledAttribute(const XmlNode& element, const std::wstring& attribute)
{
    const std::wstring* value = element.FindAttribute(attribute);
    return value && !value->empty() ? value : nullptr;
}

bool eventCode(const std::wstring& type, uint32_t& code, bool& labelTarget)
{
    struct Entry
    {
        const wchar_t* type;
        uint32_t code;
        bool labelTarget;
    };
    static const Entry kEvents[] = {
        {L"stop", eFrameStop, false},
        {L"play", eFramePlay, false},
        {L"deleteSelf", eFrameDeleteSelf, false},
        {L"gotoAndStop", eFrameGotoAndStop, false},
        {L"gotoAndPlay", eFrameGotoAndPlay, false},
        {L"gotoLabelAndStop", eFrameGotoAndStop, true},
        {L"gotoLabelAndPlay", eFrameGotoAndPlay, true},
    };
    for (const Entry& entry : kEvents)
    {
        if (type == entry.type)
        {
            code = entry.code;
            labelTarget = entry.labelTarget;
            return true;
        }
    }
    return false;
}

KeyEntry readKey(const XmlNode& frame, bool textEntry)
{
    const Names& n = names();
    KeyEntry key;
    const std::wstring* alpha = frame.FindAttribute(n.alpha);
    key.alpha = alpha ? float(ReadSignedValue(*alpha) / 100.0) : 0.0f;
    const std::wstring* color = frame.FindAttribute(n.color);
    // Read unsigned: a colour is usually written in hex with its alpha byte set ("0xFF800000"), which
    // a signed read would clamp to 0x7FFFFFFF; negative decimals wrap as before ("-1" is white).
    key.color = color ? ReadUnsignedValue(*color) : 0xFFFFFFFF;
    const std::wstring* transform = frame.FindAttribute(n.transform);
    ReadKeyTransform(transform ? std::wstring_view(*transform) : std::wstring_view(), textEntry, key);
    const std::wstring* tween = frame.FindAttribute(n.tween);
    key.tween = tween ? ReadUnsignedValue(*tween) : 0;
    return key;
}

// Fills one key per frame of the movie from the "Frame" children: each covers its "length" keys
// in turn, and the last covers the rest.
bool readKeys(const XmlNode& element, uint32_t length, bool textEntry, std::vector<KeyEntry>& keys)
{
    const Names& n = names();
    keys.clear();
    if (length == 0)
        return true;
    std::vector<const XmlNode*> frames;
    for (const std::unique_ptr<XmlNode>& child : element.children)
        if (child->name == n.frameElement)
            frames.push_back(child.get());
    // The format always has a frame for a movie with frames.
    if (frames.empty())
        return false;
    keys.resize(length);
    size_t next = 0;
    int64_t remaining = 0;
    KeyEntry current;
    for (uint32_t i = 0; i < length; ++i)
    {
        if (remaining == 0 && next < frames.size())
        {
            const XmlNode& frame = *frames[next++];
            const std::wstring* run = frame.FindAttribute(n.length);
            remaining = run ? ReadSignedValue(*run) : 1;
            // The same element fills each key it covers: read it once.
            current = readKey(frame, textEntry);
        }
        keys[i] = current;
        --remaining;
    }
    return true;
}

} // namespace

Definition_Movie::~Definition_Movie() = default;

bool Definition_Movie::Load(const XmlNode& element)
{
    const Names& n = names();
    const std::wstring* lengthText = element.FindAttribute(n.length);
    const std::wstring* fpsText = element.FindAttribute(n.fps);
    if (!lengthText || !fpsText)
        return false;
    length = ReadUnsignedValue(*lengthText);
    fps = ReadUnsignedValue(*fpsText);

    for (const std::unique_ptr<XmlNode>& child : element.children)
    {
        if (child->name != n.label)
            continue;
        const std::wstring* labelName = filledAttribute(*child, n.name);
        const std::wstring* frame = filledAttribute(*child, n.frame);
        if (!labelName || !frame)
            return false;
        labels[ReadUnsignedValue(*frame)] = *labelName;
    }

    for (const std::unique_ptr<XmlNode>& child : element.children)
    {
        if (child->name != n.event)
            continue;
        const std::wstring* frame = filledAttribute(*child, n.frame);
        const std::wstring* type = filledAttribute(*child, n.type);
        if (!frame || !type)
            return false;
        FrameAction action;
        bool labelTarget = false;
        if (!eventCode(*type, action.action, labelTarget))
            return false;
        if (action.action == eFrameGotoAndStop || action.action == eFrameGotoAndPlay)
        {
            const std::wstring* target = filledAttribute(*child, n.targetFrame);
            if (!target)
                return false;
            if (labelTarget)
            {
                const auto found = std::find_if(labels.begin(), labels.end(),
                                                [&](const auto& label) { return label.second == *target; });
                // A jump to a label this movie does not have is dropped.
                if (found == labels.end())
                    continue;
                action.target = found->first;
            }
            else
                action.target = ReadUnsignedValue(*target);
        }
        frameActions[ReadUnsignedValue(*frame)] = action;
    }

    std::vector<const XmlNode*> instances;
    for (const std::unique_ptr<XmlNode>& child : element.children)
        if (child->name == n.instance)
            instances.push_back(child.get());
    // Every entry holds a key per frame; a damaged "length" must not decide how much is allocated.
    if (uint64_t(length) * instances.size() > MaxKeys)
        return false;
    entries.reserve(instances.size());
    for (size_t i = 0; i < instances.size(); ++i)
    {
        entries.emplace_back();
        if (!loadEntry(*instances[i], uint32_t(i), entries.back()))
        {
            entries.clear();
            return false;
        }
    }
    return true;
}

bool Definition_Movie::loadEntry(const XmlNode& element, uint32_t elementIndex, InstanceEntry& entry) const
{
    const Names& n = names();
    const std::wstring* type = element.FindAttribute(n.type);
    if (!type)
        return false;
    if (EqualsNoCase(*type, L"library"))
        entry.kind = eEntryLibrary;
    else if (EqualsNoCase(*type, L"text"))
        entry.kind = eEntryText;
    else
        return false;

    const std::wstring* instanceName = element.FindAttribute(n.instanceName);
    const std::wstring* depth = element.FindAttribute(n.depth);
    const std::wstring* create = element.FindAttribute(n.create);
    const std::wstring* death = element.FindAttribute(n.death);
    const std::wstring* regX = element.FindAttribute(n.regX);
    const std::wstring* regY = element.FindAttribute(n.regY);
    if (!instanceName || !depth || !create || !death || !regX || !regY)
        return false;
    entry.instanceName = *instanceName;
    entry.depth = ReadUnsignedValue(*depth);
    entry.create = ReadUnsignedValue(*create);
    entry.death = ReadUnsignedValue(*death);
    entry.regX = float(ReadRealValue(*regX));
    entry.regY = float(ReadRealValue(*regY));
    entry.elementIndex = elementIndex;
    if (const std::wstring* userData = element.FindAttribute(n.userData))
        entry.userData = *userData;

    if (entry.kind == eEntryLibrary)
    {
        const std::wstring* definition = element.FindAttribute(n.definition);
        if (!definition)
            return false;
        entry.source = *definition;
    }
    else
    {
        const std::wstring* text = element.FindAttribute(n.text);
        const std::wstring* face = element.FindAttribute(n.face);
        const std::wstring* size = element.FindAttribute(n.size);
        const std::wstring* color = element.FindAttribute(n.color);
        const std::wstring* align = element.FindAttribute(n.align);
        const std::wstring* width = element.FindAttribute(n.width);
        const std::wstring* height = element.FindAttribute(n.height);
        if (!text || !face || !size || !color || !align || !width || !height)
            return false;
        entry.source = PrepareEntryText(*text);
        entry.textColor = ReadUnsignedValue(*color);
        entry.fontSize = ReadUnsignedValue(*size);
        entry.face = *face;
        const std::wstring* bold = element.FindAttribute(n.bold);
        entry.bold = bold && ReadUnsignedValue(*bold) != 0 ? 1 : 0;
        entry.boxHeight = ReadUnsignedValue(*height) + 1;
        entry.boxWidth = ReadUnsignedValue(*width) + 1;
        if (*align == L"center")
            entry.textFormat = eTextFormatWordBreak | eTextFormatCenter;
        else if (*align == L"left")
            entry.textFormat = eTextFormatWordBreak;
        else if (*align == L"right")
            entry.textFormat = eTextFormatWordBreak | eTextFormatRight;
        else
            return false;
        if (const std::wstring* valign = element.FindAttribute(n.valign))
        {
            if (*valign == L"center")
                entry.textFormat |= eTextFormatVCenter;
            else if (*valign == L"bottom")
                entry.textFormat |= eTextFormatBottom;
            else if (*valign != L"top")
                return false;
        }
        const std::wstring* lineSpace = element.FindAttribute(n.lineSpace);
        entry.lineSpacing = std::clamp(1.0 + (lineSpace ? ReadRealValue(*lineSpace) : 0.0), 1.0, 2.0);
        const std::wstring* gamma = element.FindAttribute(n.gamma);
        entry.gamma = gamma ? ReadRealValue(*gamma) : 0.0;
    }
    return readKeys(element, length, entry.kind == eEntryText, entry.keys);
}

Instance_Base* Definition_Movie::CreateInstance(const std::wstring& instanceName, RClass* classOverride)
{
    RClass* instanceClass = classOverride ? classOverride : nuggets.classOverride;
    if (!instanceClass)
    {
        const UserInterface* ui = UserInterface::Get();
        instanceClass = ui ? ui->GetDefaultInstanceClass() : nullptr;
        if (!instanceClass)
            instanceClass = Instance_Movie::StaticClass();
    }
    // A class that makes nothing, or something that is not a movie, cannot play this definition.
    RObject* made = instanceClass->GetFactory() ? instanceClass->GetFactory()() : nullptr;
    Instance_Movie* movie = RObjectCast<Instance_Movie>(made);
    if (!movie)
    {
        RObject::DeleteSelf(made);
        return nullptr;
    }
    movie->Initialize(instanceName);
    movie->definitionName = name;
    movie->definitionIndex = listIndex;
    if (creationHook)
        movie->creationValue = creationHook();
    ApplyNuggets(nuggets, movie);
    return movie;
}

Instance_Base* Definition_Movie::CreateInstanceFromEntry(uint32_t entryIndex)
{
    if (entryIndex >= entries.size())
        return nullptr;
    const InstanceEntry& entry = entries[entryIndex];
    if (entry.kind == eEntryLibrary)
    {
        Definition_Base* definition = ownerMap ? ownerMap->FindDefinition(entry.source, -1) : nullptr;
        Instance_Base* child = definition ? definition->CreateInstance(entry.instanceName, entry.nuggets.classOverride)
                                          : nullptr;
        if (!child)
            return nullptr;
        child->timelineIndex = int32_t(entryIndex);
        child->SetRegistrationPoint(entry.regX, entry.regY);
        if (child->type == INSTANCE_MOVIE)
            if (Instance_Movie* movie = RObjectCast<Instance_Movie>(child))
                movie->userData = entry.userData;
        ApplyNuggets(entry.nuggets, child);
        return child;
    }

    // Face names of the font configuration may stand for bitmap fonts.
    const FontManager* fonts = FontManager::Get();
    const std::wstring face = fonts ? fonts->ResolveBitmapAlias(entry.face) : entry.face;
    RClass* record = RClass::FindByName(EndsWith(face, L".fnt") ? "BitmapText" : "TextureText");
    RObject* made = record && record->GetFactory() ? record->GetFactory()() : nullptr;
    Instance_Base* text = RObjectCast<Instance_Base>(made);
    ITextInstanceSetup* setup = dynamic_cast<ITextInstanceSetup*>(text);
    if (!setup)
    {
        RObject::DeleteSelf(made);
        return nullptr;
    }
    text->Initialize(entry.instanceName);
    setup->SetHeight(int32_t(entry.boxHeight));
    setup->SetWidth(int32_t(entry.boxWidth));
    setup->SetFont(FontDesc(face, int32_t(entry.fontSize), entry.bold != 0, false));
    setup->SetTextFormat(entry.textFormat);
    setup->SetText(entry.source);
    text->SetColor(entry.textColor);
    setup->SetLineSpacing(entry.lineSpacing);
    setup->SetGamma(entry.gamma);
    text->timelineIndex = int32_t(entryIndex);
    ApplyNuggets(entry.nuggets, text);
    return text;
}

void Definition_Movie::AddNuggets(const XmlNode& nuggetsElement, const std::wstring& instanceName)
{
    if (instanceName.empty())
    {
        LoadNuggets(&nuggetsElement, nuggets);
        return;
    }
    for (InstanceEntry& entry : entries)
    {
        if (EqualsNoCase(entry.instanceName, instanceName))
        {
            LoadNuggets(&nuggetsElement, entry.nuggets);
            return;
        }
    }
}

void Definition_Movie::ClearNuggets()
{
    TarnEngine::ClearNuggets(nuggets);
    for (InstanceEntry& entry : entries)
        TarnEngine::ClearNuggets(entry.nuggets);
}

} // namespace TarnEngine
