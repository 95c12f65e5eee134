_clType(Button)
_clParent(Component)
function _clMember().OnClick(self, x)
  return x + eMaterialAlpha -- one
end
_clEnd()
