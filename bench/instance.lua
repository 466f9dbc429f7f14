-- Instance variable access: fields of the instance table.
local self = {}
self.x = 0
self.y = 0
self.k = 0
while self.k < 2000000 do
    self.x = self.x + 1
    self.y = self.y + math.fmod(self.x, 5)
    self.k = self.k + 1
end
print(self.x + self.y)
