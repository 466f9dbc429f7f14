-- String building: concatenation and conversion.
local self = {}
self.s = ""
self.i = 0
while self.i < 20000 do
    self.s = self.s .. tostring(self.i) .. ","
    self.i = self.i + 1
end
print(#self.s)
