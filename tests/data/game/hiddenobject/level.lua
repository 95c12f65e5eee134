-- The level script of the hidden-object tests: it registers the board's items, letters, puzzle
-- items and the person once the board is loaded, reports finds to the board, and notes every
-- call the board makes into the scripts in `calls`, which the tests read back in order.

calls = {}
function note(text) calls[#calls + 1] = text end

local function nameOf(object)
    if type(object) ~= "table" then return tostring(object) end
    return object.s_name or "?"
end

local function names(list)
    local out = {}
    for i, object in ipairs(list) do out[i] = nameOf(object) end
    return "[" .. table.concat(out, ",") .. "]"
end

-- Game settings the board asks for; a test replaces entries or removes the function.
settings = {}
function __QueryGameSetting(name) return settings[name] end

function __OnEvent(name, argument)
    if argument ~= nil then note(name .. " " .. nameOf(argument)) else note(name) end
    if eventHook then eventHook(name, argument) end
end

svc = svc or {}
svc.PlayerState = {
    PenaltyScore = function(self, penalty) note("PenaltyScore " .. tostring(penalty)) end,
}

-- Results the board's questions get; tests change them.
acceptDrop = true
moving = false

items = { "key", "hammer", "cup", "coin", "bell" }
letters = { "letter_a", "letter_b", "letter_c" }
pieces = { "lever", "gear" }

function InstallLevel(board)
    board.OnAfterLoad = function(self, name)
        note("OnAfterLoad " .. name)
        for _, item in ipairs(items) do
            local found = self:GetChildByName(item)
            found.OnFound = function(item)
                note("OnFound " .. item.s_name .. (item:GetVisible() and "" or " hidden"))
                if foundHook then foundHook(item) end
                self:OnItemFound(item)
            end
            self:AddItem(found)
        end
        for _, letter in ipairs(letters) do
            local found = self:GetChildByName(letter)
            found.OnFound = function(item)
                note("OnFound " .. item.s_name .. (item:GetVisible() and "" or " hidden"))
                if foundHook then foundHook(item) end
                self:OnLetterFound(item)
            end
            self:AddLetter(found)
        end
        for _, piece in ipairs(pieces) do self:AddPuzzleItem(self:GetChildByName(piece)) end
        self:AddPerson("innkeeper", "The innkeeper")
        if afterLoadHook then afterLoadHook(self) end
    end
    board.IsMoving = function(self) return moving end
    board.OnPicked = function(self, item, others)
        note("OnPicked " .. nameOf(item) .. " " .. names(others))
        if pickHook then pickHook(self, item) end
    end
    board.OnDropped = function(self, item, others)
        note("OnDropped " .. nameOf(item) .. " " .. names(others))
        if dropHook then return dropHook(self, item) end
        return acceptDrop
    end
    board.OnItemUsed = function(self, item) note("OnItemUsed " .. nameOf(item)) end
    board.OnItemDragRejected = function(self, item) note("OnItemDragRejected " .. nameOf(item)) end
end
