// A small logic analyser on an iCE40-HX8K breakout board: a PLL makes the
// sample clock from the 12 MHz crystal, eight probes are sampled into a
// 1024-entry ring buffer in block RAM until a trigger, and a UART sends the
// buffer back at 115200 baud. The reset goes through an explicit global
// buffer; the PLL's lock holds the capture logic in reset.
module capture #(parameter DEPTH = 10) (
    input clk, input rst, input arm, input [7:0] probe, input [7:0] mask,
    input [DEPTH-1:0] raddr, output reg [7:0] rdata, output reg done);
  reg [7:0] mem [0:(1<<DEPTH)-1];
  reg [DEPTH-1:0] waddr = 0;
  reg [DEPTH-1:0] left = 0;
  reg armed = 0, hit = 0;
  reg [7:0] last = 0;
  always @(posedge clk) begin
    if (rst) begin
      armed <= 0; hit <= 0; done <= 0; left <= 0;
    end else begin
      if (arm && !armed) begin armed <= 1; hit <= 0; done <= 0; end
      if (armed && !done) begin
        mem[waddr] <= probe;
        waddr <= waddr + 1'b1;
        if (!hit && ((probe ^ last) & mask) != 0) begin hit <= 1; left <= {1'b0, {(DEPTH-1){1'b1}}}; end
        if (hit) begin
          left <= left - 1'b1;
          if (left == 0) begin done <= 1; armed <= 0; end
        end
      end
      last <= probe;
    end
    rdata <= mem[raddr];
  end
endmodule

module uart_tx #(parameter DIV = 417) (input clk, input rst, input go, input [7:0] data,
                                       output reg tx = 1, output busy);
  reg [9:0] shift = 10'h3ff;
  reg [3:0] bits = 0;
  reg [15:0] count = 0;
  assign busy = bits != 0;
  always @(posedge clk)
    if (rst) begin bits <= 0; tx <= 1; end
    else if (!busy && go) begin shift <= {1'b1, data, 1'b0}; bits <= 10; count <= 0; end
    else if (busy) begin
      if (count == DIV - 1) begin
        count <= 0; tx <= shift[0]; shift <= {1'b1, shift[9:1]}; bits <= bits - 1'b1;
      end else count <= count + 1'b1;
    end
endmodule

module readout (input clk, input rst, input done, input [7:0] rdata, output reg [9:0] raddr,
                output tx, output reg sending);
  wire busy;
  reg go = 0;
  uart_tx #(.DIV(417)) u_tx (.clk(clk), .rst(rst), .go(go), .data(rdata), .tx(tx), .busy(busy));
  always @(posedge clk)
    if (rst || !done) begin raddr <= 0; sending <= 0; go <= 0; end
    else begin
      sending <= 1;
      go <= !busy && !go;
      if (go) raddr <= raddr + 1'b1;
    end
endmodule

module sampler (input clk, input rst, input arm, input [7:0] probe, output tx, output [1:0] led);
  wire fast, locked, reset_g;
  SB_PLL40_CORE #(.FEEDBACK_PATH("SIMPLE"), .DIVR(4'd0), .DIVF(7'd63), .DIVQ(3'd4),
                  .FILTER_RANGE(3'd1))
      u_pll (.REFERENCECLK(clk), .PLLOUTGLOBAL(fast), .LOCK(locked), .RESETB(1'b1), .BYPASS(1'b0));
  SB_GB u_rst_gb (.USER_SIGNAL_TO_GLOBAL_BUFFER(rst | ~locked), .GLOBAL_BUFFER_OUTPUT(reset_g));
  wire [9:0] raddr;
  wire [7:0] rdata;
  wire done, sending;
  capture #(.DEPTH(10)) u_cap (.clk(fast), .rst(reset_g), .arm(arm), .probe(probe),
                               .mask(8'hff), .raddr(raddr), .rdata(rdata), .done(done));
  readout u_out (.clk(fast), .rst(reset_g), .done(done), .rdata(rdata), .raddr(raddr), .tx(tx),
                 .sending(sending));
  assign led = {sending, done};
endmodule
