-- The options dialog as a game script would drive it: it opens the dialog through the screen
-- manager and notes every call the dialog's widgets make into the script, in order, in `calls`.
-- The settings it keeps are the script's own: the widgets tell it what changed, not the values.

calls = {}
settings = { music = false, voices = false, difficulty = "none", volumeChanges = 0, name = "" }

local function note(text)
    calls[#calls + 1] = text
end

function OpenOptions()
    local dialog = g_ScreenMgr2:CreateScreen("options_dialog", "options", true, true)
    if not dialog then
        note("no dialog")
        return nil
    end

    -- A ticked check box of this kind shows its frames from 3 on.
    function dialog:HandleCheckBoxPressed(box)
        local ticked = box:GetFrame() >= 3
        settings[box:GetName()] = ticked
        note("check " .. box:GetName() .. " " .. tostring(ticked))
    end

    -- The listener runs while the previous choice still stands.
    function dialog:HandleRadioButtonPressed(radio)
        note("radio " .. radio:GetName() .. " after " .. settings.difficulty)
        settings.difficulty = radio:GetName()
    end

    function dialog:HandleSliderChanged(slider)
        settings.volumeChanges = settings.volumeChanges + 1
    end

    function dialog:HandleSliderPressed(slider)
        note("slider " .. slider:GetName() .. " released after " .. settings.volumeChanges .. " changes")
    end

    local ok = dialog:GetChildByName("okButton")
    function ok:OnButtonClick()
        settings.name = dialog:GetChildByName("name"):GetText()
        note("ok " .. settings.name)
    end

    local cancel = dialog:GetChildByName("cancelButton")
    function cancel:OnButtonClick()
        note("cancel")
    end

    function dialog:OnUnload()
        note("closed")
    end

    return dialog
end
