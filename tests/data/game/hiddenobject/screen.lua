-- The hidden-object screen tests' additions to level.lua: letter positions set (and the letters
-- made active) when the level loads, the screen's and the item-list entries' script functions (noted in `calls`), the secret
-- word's receiver, and the script that answers the hint button at once.

letterIndex = { letter_a = 1, letter_b = 2, letter_c = 3 }

afterLoadHook = function(board)
    for name, index in pairs(letterIndex) do
        local letter = board:GetChildByName(name)
        if letter then
            letter.i_idx = index
            letter:SetState(ITEM_ACTIVE)
        end
    end
    for _, list in ipairs({ items, pieces }) do
        for _, name in ipairs(list) do
            local item = board:GetChildByName(name)
            item.OnHint = function(self)
                note("OnHint " .. self.s_name)
                if hintHook then hintHook(self) end
            end
        end
    end
    if levelHook then levelHook(board) end
end

saveNote = "saved"

function ScreenCall(screen, name, saved)
    if name == "OnSaveLevel" then
        saved.note = saveNote
        note(name)
    elseif name == "OnLoadLevel" then
        note(name .. " " .. tostring(saved.note))
    else
        note(name)
    end
    if screenHook then screenHook(screen, name) end
end

function EntryCall(entry, name)
    note(entry:GetName() .. " " .. name)
    if entryHook then entryHook(entry, name) end
end

svc.PlayerState.SetSecretWord = function(self, word)
    secretWord = word
    note("SetSecretWord")
end

-- The script prepares the hint at once.
hintReadyAtOnce = true
eventHook = function(name)
    if name == "HintButtonPressed" and hintReadyAtOnce and theScreen then theScreen:OnHintReady() end
end
